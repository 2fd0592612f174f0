// The emulator's protocol core in virtual time: each query's reply byte for byte at the positions the
// program reads, writes read back, the line rules, the faults, and the saved state.
#include "Check.h"
#include "SimCore.h"

#include <algorithm>
#include <cmath>
#include <functional>

using namespace sim;

namespace {

const double startTime = static_cast<double>(secondsFromCivil({2026, 12, 5, 14, 30, 0}));

// Characters `from`..`from + count - 1` of a reply, counted from 1 as the program does.
std::string at(const std::string& reply, std::size_t from, std::size_t count = 2) {
    return from - 1 < reply.size() ? reply.substr(from - 1, count) : std::string();
}

// Drives one instrument in virtual time, delivering every byte it sends.
struct Rig {
    Instrument instrument;
    double now = startTime;

    explicit Rig(Kind kind, Faults faults = {}, int baud = 0)
        : instrument(defaultState(kind, startTime), faults, baud) {}

    void send(const std::string& bytes) { instrument.receive(bytes, now); }
    void wait(double seconds) { now += seconds; }
    // Everything the instrument sends from now on, with the clock run forward until it is silent.
    std::string drain() {
        std::string out;
        while (const auto due = instrument.nextDue()) {
            now = std::max(now, *due);
            out += instrument.takeDue(now);
        }
        return out;
    }
    // A whole exchange: wake-up byte, "!", command and CR, the reply.
    std::string ask(const std::string& command) {
        send("\x80");
        const std::string bang = drain();
        CHECK_EQ(bang, "!");
        send(command + "\r");
        return drain();
    }
    void write(const std::string& command) { CHECK_EQ(ask(command), ""); }
};

// Decodes a 16-byte dump text from its first character (the flow unit's reader).
std::string dumpBytesAsText(const std::string& dump, int firstByte, int count) {
    std::string text;
    for (int k = firstByte; k < firstByte + count; ++k)
        text += static_cast<char>(std::stoi(at(dump, 3 * k + 1), nullptr, 16));
    return text;
}

void wakeUpAndLineRules() {
    Rig rig(Kind::Lumatrix);
    rig.send("\x80");
    CHECK_EQ(rig.drain(), "!");
    rig.send("\r"); // the lone CR after an unanswered wake-up
    CHECK_EQ(rig.drain(), "");
    rig.send("B0\n2\r"); // a line feed is no part of a command
    CHECK_EQ(rig.drain(), "00 00 00 01 2D 03 12 00 00 00 00 00 00 00 00 00 \r");

    // Commands need their own wake-up byte: the instrument falls asleep after each one.
    rig.send("H\r");
    CHECK_EQ(rig.drain(), "");

    // An unknown command is answered with nothing, and the instrument goes on.
    CHECK_EQ(rig.ask("Z12"), "");
    CHECK_EQ(rig.ask("b06"), ""); // a register write without its value changes nothing
    CHECK_EQ(at(rig.ask("B00"), 19), "12");

    // Noise longer than any command is not cut down to something that could be obeyed.
    CHECK_EQ(rig.ask("b0612" + std::string(300, '0')), "");
    CHECK_EQ(at(rig.ask("B00"), 19), "12");

    // Text without CR is dropped by the next wake-up byte.
    rig.send("\x80");
    rig.drain();
    rig.send("C002");
    CHECK_EQ(at(rig.ask("H"), 3, 1), "-");

    const auto lines = rig.instrument.takeTranscript();
    CHECK(lines.size() >= 10);
    CHECK(std::any_of(lines.begin(), lines.end(), [](const std::string& l) {
        return l == "14:30:00.000  B02<CR>  -> 00 00 00 01 2D 03 12 00 00 00 00 00 00 00 00 00 <CR>";
    }));
    CHECK(std::any_of(lines.begin(), lines.end(),
                      [](const std::string& l) { return l == "14:30:00.000  <CR>  (lone CR: ignored)"; }));
    CHECK(std::any_of(lines.begin(), lines.end(), [](const std::string& l) {
        return l.find("Z12<CR>  (unknown command") != std::string::npos;
    }));
}

void clockQueryAndSetting() {
    Rig rig(Kind::Lumatrix);
    CHECK_EQ(rig.ask("H"), "26-12-05 14:30:00\r");
    rig.write("h25-12-31 08:05:00");
    rig.wait(65);
    const std::string reply = rig.ask("H");
    CHECK_EQ(reply, "25-12-31 08:06:05\r");
    // The positions of the clock query: year 1-2, month 4-5, day 7-8, hours 10-11, minutes 13-14, seconds
    // 16-17.
    CHECK_EQ(at(reply, 7) + "-" + at(reply, 4) + "-" + at(reply, 1), "31-12-25");
    CHECK_EQ(at(reply, 10) + ":" + at(reply, 13) + ":" + at(reply, 16), "08:06:05");
    // The clock runs on over midnight and the year end.
    rig.wait(15 * 3600 + 54 * 60);
    CHECK_EQ(rig.ask("H"), "26-01-01 00:00:05\r");

    // A malformed setting (an empty time box sends the date and one space) leaves the clock alone.
    rig.write("h26-01-01 ");
    rig.write("h26-13-01 10:00:00");
    CHECK_EQ(rig.ask("H"), "26-01-01 00:00:05\r");
    CHECK(rig.instrument.takeStateChanged());
}

void memoryDumpLayout() {
    Rig rig(Kind::Lumatrix);
    // The factory scale of range 1: DP 3, -5.000 .. +5.000, empty label, unit "V".
    const std::string dump = rig.ask("C002000");
    CHECK_EQ(dump, "03 2D 13 88 2B 13 88 20 20 20 20 56 20 20 20 00 \r\n");
    CHECK(dump.size() == 50);
    // The read-out unit keeps the last 50 characters of its buffer, the flow unit reads from the first;
    // both see byte k at 3k+1 and 3k+2.
    const std::string buffered = "!" + dump;
    const std::string last50 = buffered.substr(buffered.size() - 50);
    CHECK_EQ(last50, dump);
    CHECK_EQ(at(last50, 2, 1), "3");
    CHECK_EQ(at(last50, 4) + at(last50, 7) + at(last50, 10), "2D1388");
    CHECK_EQ(at(last50, 13) + at(last50, 16) + at(last50, 19), "2B1388");
    CHECK_EQ(dumpBytesAsText(dump, 11, 4), "V   ");

    // Every slot of the table is where the address rule puts it; slot 1 is the factory scale everywhere.
    const char* factory[6] = {"03 2D 13 88 2B 13 88", "03 2D 07 D0 2B 07 D0", "02 2D 4E 20 2B 4E 20",
                              "03 2D 4E 20 2B 4E 20", "04 2D 4E 20 2B 4E 20", "03 2B 00 00 2B 4E 20"};
    const char* high[6] = {"20", "20", "21", "21", "22", "22"};
    for (int range = 1; range <= 6; ++range) {
        const std::string low = range % 2 ? "00" : "80";
        CHECK_EQ(rig.ask("C00" + std::string(high[range - 1]) + low).substr(0, 20), factory[range - 1]);
    }
    CHECK_EQ(dumpBytesAsText(rig.ask("C002010"), 7, 8), "TEMPdegC");
    CHECK_EQ(dumpBytesAsText(rig.ask("C0020F0"), 7, 4), "GN 8"); // range 2, gain 8
    // An address past the memory gets no reply.
    CHECK_EQ(rig.ask("C004000"), "");
}

void scaleWriteReadsBack() {
    Rig rig(Kind::Lumatrix);
    const std::string before = rig.ask("C002010");
    rig.write("e201003"
              "2D1388"
              "2B1388"
              "474E2032"
              "56202020");
    const std::string after = rig.ask("C002010");
    CHECK_EQ(after, "03 2D 13 88 2B 13 88 47 4E 20 32 56 20 20 20 " + at(before, 46, 3) + "\r\n");
    CHECK(rig.instrument.takeStateChanged());
    // Range 6, gain slot 3 (the flow unit's channel B slot) and the last slot of the table.
    rig.write("e22A0052B00002DC350414243445A5A5A5A");
    CHECK_EQ(rig.ask("C0022A0").substr(0, 45), "05 2B 00 00 2D C3 50 41 42 43 44 5A 5A 5A 5A ");
    rig.write("e22F0"
              "012B00012B0002"
              "31323334"
              "35363738");
    CHECK_EQ(rig.ask("C0022F0").substr(0, 45), "01 2B 00 01 2B 00 02 31 32 33 34 35 36 37 38 ");
    // A short or odd write is not a scale write.
    CHECK_EQ(rig.ask("e2010"), "");
    CHECK_EQ(rig.ask("e20100"), "");
    CHECK_EQ(rig.ask("C002010"), after);
}

void flowMemoryWritesReadBack() {
    Rig rig(Kind::Quorvane);
    // The analogue-input scales of the two channels.
    const std::string a = rig.ask("C002290");
    CHECK_EQ(at(a, 2, 1), "0");
    CHECK_EQ(dumpBytesAsText(a, 7, 8), "LEVL mm ");
    CHECK_EQ(dumpBytesAsText(rig.ask("C0022A0"), 7, 8), "PRESmbar");

    // The conversion block as SendFlowConversion writes it.
    rig.write("c003FA402");
    rig.write("k003FA56C2F7320");
    rig.write("c003FA911");
    rig.write("k003FAA2D000019");
    rig.write("k003FAE2B0003E8");
    rig.write("k003FB22B000024");
    rig.write("k003FB62D000024");
    rig.write("c003FBA03");
    rig.write("c003FBB05");
    rig.write("k003FBC206D3320");
    rig.write("k003FC06B672020");
    const std::string b1 = rig.ask("C003FA0"), b2 = rig.ask("C003FB0"), b3 = rig.ask("C003FC0");
    CHECK_EQ(at(b1, 13), "02");
    CHECK_EQ(dumpBytesAsText(b1, 5, 4), "l/s ");
    CHECK_EQ(at(b1, 28), "11");
    CHECK_EQ(at(b1, 31) + at(b1, 34) + at(b1, 37) + at(b1, 40), "2D000019");
    CHECK_EQ(at(b1, 43) + at(b1, 46) + at(b2, 1) + at(b2, 4), "2B0003E8"); // offset B spans two blocks
    CHECK_EQ(at(b2, 7) + at(b2, 10) + at(b2, 13) + at(b2, 16), "2B000024");
    CHECK_EQ(at(b2, 19) + at(b2, 22) + at(b2, 25) + at(b2, 28), "2D000024");
    CHECK_EQ(at(b2, 31) + at(b2, 34), "0305");
    CHECK_EQ(dumpBytesAsText(b2, 12, 4), " m3 ");
    CHECK_EQ(dumpBytesAsText(b3, 0, 4), "kg  ");

    // Text pieces and a linearization point.
    rig.write("k003FD0312E3520");
    rig.write("k003FD420202020");
    CHECK_EQ(dumpBytesAsText(rig.ask("C003FD0"), 0, 8), "1.5     ");
    rig.write("k003F9C2BFFFFF6");
    CHECK_EQ(rig.ask("C003F90").substr(36, 12), "2B FF FF F6 ");
    // Malformed memory writes change nothing.
    rig.write("k003FD0312E35");
    rig.write("c003FA4");
    rig.write("k00400012345678");
    CHECK_EQ(dumpBytesAsText(rig.ask("C003FD0"), 0, 4), "1.5 ");
    CHECK_EQ(at(rig.ask("C003FA0"), 13), "02");
}

void registerQueriesAfterWrites() {
    Rig rig(Kind::Lumatrix);
    // Recording: rate code at 17, channel code at 20.
    std::string b00 = rig.ask("B00");
    CHECK_EQ(at(b00, 17, 1) + at(b00, 20, 1), "32");
    rig.write("iC");
    rig.write("b0610");
    b00 = rig.ask("B00");
    CHECK_EQ(at(b00, 17, 1) + at(b00, 20, 1), "C0");
    rig.write("iF"); // recording off
    CHECK_EQ(at(rig.ask("B00"), 17, 1), "F");
    rig.write("b0300");
    rig.write("b0400");
    CHECK_EQ(at(rig.ask("B00"), 10) + at(rig.ask("B00"), 13), "0000");

    // The service window fixes the unit to range 3, then opens it again.
    CHECK_EQ(at(rig.ask("B02"), 8, 1), "0");
    for (const char* c : {"b0002", "b0203", "a08002", "a07B03"})
        rig.write(c);
    CHECK_EQ(at(rig.ask("B02"), 8, 1), "3");
    const std::string stored = rig.ask("C000070");
    CHECK_EQ(at(stored, 34), "03"); // 0x07B
    CHECK_EQ(rig.ask("C000080").substr(0, 3), "02 ");
    rig.write("b0200");
    rig.write("a07B00");
    CHECK_EQ(at(rig.ask("B02"), 8, 1), "0");
    rig.write("a0b400");
    rig.write("a0b500");
    CHECK_EQ(at(rig.ask("C0000B0"), 13) + at(rig.ask("C0000B0"), 16), "0000");

    // Presets: P1 = scale 17 (range index 2, gain index 0) twice, P4 = scale 48 once.
    std::string b10 = rig.ask("B10");
    CHECK_EQ(at(b10, 2, 1) + at(b10, 5, 1) + at(b10, 20, 1) + at(b10, 23, 1), "01FF");
    for (const char* c : {"b1002", "b1100", "b1802", "b1900", "b1605", "b1707"})
        rig.write(c);
    b10 = rig.ask("B10");
    CHECK_EQ(at(b10, 2, 1) + at(b10, 5, 1) + at(b10, 20, 1) + at(b10, 23, 1), "2057");
    CHECK_EQ(at(b10, 25) + at(b10, 28) + at(b10, 31) + at(b10, 34), "02000201"); // recording scales
    rig.write("b1A03");
    rig.write("b1B05");
    b10 = rig.ask("B10");
    CHECK_EQ(at(b10, 31) + at(b10, 34), "0305");
}

void flowUnitQueries() {
    Rig rig(Kind::Quorvane);
    CHECK_EQ(rig.ask("I"), "2\r");
    rig.write("iD");
    CHECK_EQ(at(rig.ask("I"), 1, 1), "D");
    rig.write("iFFFF"); // a rate list without selection
    CHECK_EQ(at(rig.ask("I"), 1, 1), "F");

    std::string b00 = rig.ask("B00");
    CHECK_EQ(at(b00, 10) + at(b00, 13), "012D");
    rig.write("b0304");
    rig.write("b04D2");
    b00 = rig.ask("B00");
    CHECK_EQ(at(b00, 10) + at(b00, 13), "04D2");

    std::string b30 = rig.ask("B30");
    CHECK_EQ(at(b30, 13) + at(b30, 16) + at(b30, 19) + at(b30, 22), "2B01E240");
    CHECK_EQ(at(b30, 25) + at(b30, 28) + at(b30, 31) + at(b30, 34), "2B003039");
    for (const char* c : {"b3500", "b3600", "b377B", "b450F", "b4642", "b4740"})
        rig.write(c);
    b30 = rig.ask("B30");
    CHECK_EQ(at(b30, 16) + at(b30, 19) + at(b30, 22), "00007B");
    CHECK_EQ(at(b30, 28) + at(b30, 31) + at(b30, 34), "0F4240");
    // The presets of the flow unit are read with the same query.
    CHECK_EQ(at(rig.ask("B10"), 2, 1), "5");
}

void downloadBlocks() {
    Rig lum(Kind::Lumatrix);
    const std::string reply = lum.ask("F00010003");
    CHECK(reply.size() == 3 * 33);
    for (int i = 0; i < 3; ++i)
        CHECK(reply[33 * i + 32] == '\r');
    const std::string b = reply.substr(0, 32);
    // Block 1 of 300 logged a minute apart, the last one at the start: 14:30 - 299 min.
    CHECK_EQ(at(b, 7) + "/" + at(b, 9) + "/" + at(b, 11), "05/12/26");
    CHECK_EQ(at(b, 5) + ":" + at(b, 3) + ":" + at(b, 1), "09:31:00");
    CHECK(at(b, 13) == "2B" || at(b, 13) == "2D");
    CHECK(at(b, 23) == "2B" || at(b, 23) == "2D");

    // The whole log: 300 blocks, both signs in both channels, varied values.
    const std::string all = lum.ask("F0001012C");
    CHECK(all.size() == 300 * 33);
    int negativeA = 0, negativeB = 0;
    std::string distinct;
    for (int n = 0; n < 300; ++n) {
        const std::string block = all.substr(static_cast<std::size_t>(33 * n), 32);
        negativeA += at(block, 13) == "2D";
        negativeB += at(block, 23) == "2D";
        if (n % 50 == 0)
            distinct += at(block, 15, 6) + ",";
    }
    CHECK(negativeA > 50 && negativeA < 250);
    CHECK(negativeB > 10 && negativeB < 250);
    CHECK(distinct.size() == 6 * 7);
    // A block the logger never wrote reads as erased memory.
    CHECK_EQ(lum.ask("F012D0001"), std::string(32, 'F') + "\r");
    CHECK_EQ(lum.ask("F00010000"), "");

    // The flow unit's readings are unsigned, at 15-20 and 23-28.
    Rig flow(Kind::Quorvane);
    const std::string fb = flow.ask("F012C0001");
    CHECK(fb.size() == 33);
    CHECK_EQ(at(fb, 13), "2B");
    CHECK(std::stoi(at(fb, 23, 6), nullptr, 16) > 10000);
    CHECK_EQ(at(fb, 5) + ":" + at(fb, 3) + ":" + at(fb, 1), "14:30:00");
}

void wakeUpFaults() {
    {
        Faults f;
        f.neverWake = true;
        Rig rig(Kind::Lumatrix, f);
        rig.send("\x80");
        CHECK_EQ(rig.drain(), "");
        rig.send("H\r"); // not woken: ignored
        CHECK_EQ(rig.drain(), "");
    }
    {
        Faults f;
        f.missWake = 2;
        Rig rig(Kind::Lumatrix, f);
        CHECK_EQ(rig.ask("I").substr(0, 1), "3");
        rig.send("\x80");
        CHECK_EQ(rig.drain(), "");
        rig.send("\r\x80"); // lone CR, second try
        CHECK_EQ(rig.drain(), "!");
        rig.send("B02\r");
        CHECK_EQ(at(rig.drain(), 8, 1), "0");
    }
    {
        // Late by 0.3 s: the program's 0.2 s window closes, it sends CR and a second byte, and the one
        // answer arrives inside the second window.
        Faults f;
        f.wakeLate = 0.3;
        Rig rig(Kind::Lumatrix, f);
        rig.send("\x80");
        CHECK(std::abs(*rig.instrument.nextDue() - (startTime + 0.3)) < 1e-9);
        rig.wait(0.2);
        CHECK_EQ(rig.instrument.takeDue(rig.now), "");
        rig.send("\r\x80");
        CHECK_EQ(rig.drain(), "!");
        CHECK(std::abs(rig.now - (startTime + 0.3)) < 1e-9);
        rig.send("B02\r");
        CHECK_EQ(at(rig.drain(), 8, 1), "0");
    }
}

void replyFaultsAndPacing() {
    {
        Faults f;
        f.cutReply = true;
        f.downloadStop = 2;
        Rig rig(Kind::Lumatrix, f);
        CHECK_EQ(rig.ask("H"), "26-12-05 14:30:00");
        CHECK_EQ(rig.ask("C002000"), "03 2D 13 88 2B 13 88 20 20 20 20 56 20 20 20 00 ");
        const std::string blocks = rig.ask("F00010005");
        CHECK(blocks.size() == 33 + 32); // two blocks, the second without its CR
    }
    {
        Faults f;
        f.downloadStop = 0;
        Rig rig(Kind::Quorvane, f);
        CHECK_EQ(rig.ask("F00010005"), "");
    }
    {
        // 9600 baud: ten bits per character; slow-chars adds its delay to every character.
        Faults f;
        f.slowCharMs = 5;
        Rig rig(Kind::Lumatrix, f, 9600);
        rig.send("\x80");
        const double perChar = 10.0 / 9600 + 0.005;
        CHECK(std::abs(*rig.instrument.nextDue() - (startTime + perChar)) < 1e-9);
        CHECK_EQ(rig.drain(), "!");
        rig.send("C002000\r");
        const double sent = rig.now;
        rig.wait(perChar * 10);
        CHECK(rig.instrument.takeDue(rig.now).size() == 10);
        const std::string rest = rig.drain();
        CHECK(rest.size() == 40);
        CHECK(std::abs(rig.now - (sent + 50 * perChar)) < 1e-6);
    }
}

void stateSavedAndLoaded() {
    Rig rig(Kind::Quorvane);
    rig.write("k003FD0412A5820");
    rig.write("b450F");
    rig.write("h27-01-02 03:04:05");
    const State& before = rig.instrument.state();
    const std::string text = saveState(before);
    CHECK(text.find("kind quorvane\n") != std::string::npos);
    CHECK(text.find("\nmem 3FD0 41 2A 58 20 ") != std::string::npos);
    CHECK(text.find("\nblock 300 ") != std::string::npos);
    std::string error;
    const auto loaded = loadState(text, error);
    CHECK(loaded.has_value());
    if (loaded) {
        CHECK(loaded->kind == Kind::Quorvane);
        CHECK(loaded->memory == before.memory);
        CHECK(loaded->registers == before.registers);
        CHECK(loaded->blocks == before.blocks);
        CHECK(loaded->clockOffset == before.clockOffset);
        Instrument again(*loaded);
        again.receive("\x80H\r", rig.now);
        CHECK_EQ(again.takeDue(rig.now), "!27-01-02 03:04:05\r");
    }

    // Comments, blank lines and CR LF line ends are allowed.
    const auto commented = loadState("# saved by hand\r\n\r\nkind lumatrix # the read-out unit\r\n"
                                     "reg 00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F 10 # first line\n",
                                     error);
    CHECK(commented && commented->registers[0x0F] == 0x10);

    // Lines not listed are erased memory; a sparse log is filled with erased blocks.
    const auto sparse = loadState("kind lumatrix\nblock 3 " + std::string(32, '1') + "\n", error);
    CHECK(sparse && sparse->blocks.size() == 3 && sparse->blocks[0] == std::string(32, 'F') &&
          sparse->memory[0x2000] == 0xFF);

    const std::pair<const char*, const char*> bad[] = {
        {"", "no \"kind\" line"},
        {"kind lumatrix\nmem 2001 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00\n", "line 2: expected"},
        {"kind lumatrix\nreg 00 00 00\n", "line 2: expected"},
        {"kind lumatrix\n# note\nmem 2000 0G 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00\n",
         "line 3: expected"},
        {"kind lumatrix\nblock 0 "
         "00000000000000000000000000000000\n",
         "line 2: expected"},
        {"kind lumatrix\nblock 1 short\n", "line 2: expected"},
        {"kind flowmeter\n", "line 1: unknown kind"},
        {"kind lumatrix\ncolour blue\n", "line 2: unknown item"},
    };
    for (const auto& [input, message] : bad) {
        error.clear();
        CHECK(!loadState(input, error));
        CHECK_EQ(error.substr(0, std::string(message).size()), message);
    }
}

void faultLists() {
    std::string error;
    const auto f =
        parseFaults("never-wake, wake-late=0.25,miss-wake=3,slow-chars=2,cut-reply,download-stop=10", error);
    CHECK(f && f->neverWake && f->wakeLate == 0.25 && f->missWake == 3 && f->slowCharMs == 2 && f->cutReply &&
          f->downloadStop == 10);
    const auto none = parseFaults("", error);
    CHECK(none && !none->neverWake && none->downloadStop == -1);
    for (const char* wrong : {"sleepy", "wake-late", "wake-late=abc", "wake-late=-1", "miss-wake=0",
                              "cut-reply=1", "download-stop=x", "slow-chars=1,bogus"}) {
        error.clear();
        CHECK(!parseFaults(wrong, error));
        CHECK(!error.empty());
    }
}

void lostLineDropsReply() {
    Faults f;
    f.slowCharMs = 10;
    Rig rig(Kind::Lumatrix, f);
    rig.send("\x80");
    rig.drain();
    rig.send("C002000\r");
    rig.wait(0.1);
    CHECK(rig.instrument.takeDue(rig.now).size() == 10);
    rig.instrument.lineDropped(rig.now);
    CHECK(!rig.instrument.nextDue());
    // The next exchange starts cleanly.
    CHECK_EQ(rig.ask("I"), "3\r");
}

} // namespace

int main() {
    wakeUpAndLineRules();
    clockQueryAndSetting();
    memoryDumpLayout();
    scaleWriteReadsBack();
    flowMemoryWritesReadBack();
    registerQueriesAfterWrites();
    flowUnitQueries();
    downloadBlocks();
    wakeUpFaults();
    replyFaultsAndPacing();
    stateSavedAndLoaded();
    faultLists();
    lostLineDropsReply();
    if (simtest::failures == 0)
        std::puts("all emulator core checks passed");
    return simtest::failures == 0 ? 0 : 1;
}
