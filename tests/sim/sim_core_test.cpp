// The emulator's protocol core in virtual time: each query's reply byte for byte at the positions the
// program reads, writes read back, the line rules, the faults, and the saved state.
#include "Check.h"
#include "SimCore.h"

#include <algorithm>
#include <cmath>
#include <initializer_list>

using namespace sim;

namespace {

const double startTime = static_cast<double>(secondsFromCivil({2026, 12, 5, 14, 30, 0}));

// Characters `from`..`from + count - 1` of a reply, counted from 1 as the program does.
std::string at(const std::string& reply, std::size_t from, std::size_t count = 2) {
    return from - 1 < reply.size() ? reply.substr(from - 1, count) : std::string();
}

// The hex digits of `count` dump bytes whose first digit is at `from`, as the program joins them.
std::string pairs(const std::string& dump, std::size_t from, std::size_t count) {
    std::string digits;
    for (std::size_t k = 0; k < count; ++k)
        digits += at(dump, from + 3 * k);
    return digits;
}

// Dump bytes `firstByte`.. decoded as characters, from the first character (the flow unit's reader).
std::string dumpChars(const std::string& dump, int firstByte, int count) {
    std::string text;
    for (int k = firstByte; k < firstByte + count; ++k)
        text += static_cast<char>(std::stoi(at(dump, 3 * k + 1), nullptr, 16));
    return text;
}

bool near(double a, double b) {
    return std::abs(a - b) < 1e-6;
}

// Drives one instrument in virtual time, delivering every byte it sends.
struct Rig {
    Instrument instrument;
    double now = startTime;

    explicit Rig(Kind kind, Faults faults = {}, int baud = 0)
        : instrument(defaultState(kind, startTime), faults, baud) {}

    void send(const std::string& bytes) { instrument.receive(bytes, now); }
    // Everything the instrument sends from now on, with the clock run forward until it is silent.
    std::string drain() {
        std::string out;
        while (const auto due = instrument.nextDue()) {
            now = std::max(now, *due);
            out += instrument.takeDue(now);
        }
        return out;
    }
    std::string talk(const std::string& bytes) {
        send(bytes);
        return drain();
    }
    // A whole exchange: wake-up byte, "!", command and CR, the reply.
    std::string ask(const std::string& command) {
        CHECK_EQ(talk("\x80"), "!");
        return talk(command + "\r");
    }
    // Writes are answered with nothing.
    void write(std::initializer_list<const char*> commands) {
        for (const char* c : commands)
            CHECK_EQ(ask(c), "");
    }
};

void wakeUpAndLineRules() {
    Rig rig(Kind::Lumatrix);
    CHECK_EQ(rig.talk("\x80"), "!");
    CHECK_EQ(rig.talk("\r"), ""); // a lone CR is ignored
    CHECK_EQ(rig.talk("B0\n2\r"), "00 00 00 01 2D 03 12 00 00 00 00 00 00 00 00 00 \r"); // and so is LF
    CHECK_EQ(rig.talk("H\r"), ""); // every command needs its own wake-up byte

    // An unknown command, a register write without its value and noise longer than any command are answered
    // with nothing, change nothing, and the instrument goes on.
    CHECK_EQ(rig.ask("Z12") + rig.ask("b06") + rig.ask("b0612" + std::string(300, '0')), "");
    CHECK_EQ(at(rig.ask("B00"), 19), "12");
    // Text without CR is dropped by the next wake-up byte.
    rig.talk("\x80");
    rig.send("C002");
    CHECK_EQ(at(rig.ask("H"), 3, 1), "-");

    const auto lines = rig.instrument.takeTranscript();
    for (const char* line :
         {"14:30:00.000  B02<CR>  -> 00 00 00 01 2D 03 12 00 00 00 00 00 00 00 00 00 <CR>",
          "14:30:00.000  <CR>  (lone CR: ignored)", "14:30:00.000  Z12<CR>  (unknown command"})
        CHECK(std::any_of(lines.begin(), lines.end(),
                          [&](const std::string& l) { return l.rfind(line, 0) == 0; }));
}

void clockQueryAndSetting() {
    Rig rig(Kind::Lumatrix);
    CHECK_EQ(rig.ask("H"), "26-12-05 14:30:00\r");
    rig.write({"h25-12-31 08:05:00"});
    rig.now += 65;
    CHECK_EQ(rig.ask("H"), "25-12-31 08:06:05\r");
    rig.now += 15 * 3600 + 54 * 60; // on over midnight and the year end
    CHECK_EQ(rig.ask("H"), "26-01-01 00:00:05\r");
    // A malformed setting (an empty time box sends the date and one space) leaves the clock alone.
    rig.write({"h26-01-01 ", "h26-13-01 10:00:00"});
    CHECK_EQ(rig.ask("H"), "26-01-01 00:00:05\r");
    CHECK(rig.instrument.takeStateChanged());
}

void memoryDumpLayout() {
    Rig rig(Kind::Lumatrix);
    // 16 bytes, two upper-case digits and a separator each, CR LF: 50 characters, byte k at 3k+1.
    CHECK_EQ(rig.ask("C002000"), "03 2D 13 88 2B 13 88 20 20 20 20 56 20 20 20 00 \r\n");
    // Slot 1 of every range holds its factory scale where the address rule puts it.
    std::string factory;
    for (const char* address : {"2000", "2080", "2100", "2180", "2200", "2280"})
        factory += rig.ask("C00" + std::string(address)).substr(0, 21);
    CHECK_EQ(factory, "03 2D 13 88 2B 13 88 03 2D 07 D0 2B 07 D0 02 2D 4E 20 2B 4E 20 03 2D 4E 20 2B 4E 20 "
                      "04 2D 4E 20 2B 4E 20 03 2B 00 00 2B 4E 20 ");
    CHECK_EQ(rig.ask("C004000"), ""); // past the memory: no reply
}

void scaleWriteReadsBack() {
    // Range 6 gain slot 3 (the flow unit's channel B slot) and the last slot of the table; the 16th byte
    // stays.
    Rig rig(Kind::Lumatrix);
    rig.write({"e22A0052B00002DC350414243445A5A5A5A", "e22F0012B00012B00023132333435363738"});
    CHECK(rig.instrument.takeStateChanged());
    // A short or odd write is not a scale write.
    rig.write({"e22A0", "e22A00"});
    CHECK_EQ(rig.ask("C0022A0"), "05 2B 00 00 2D C3 50 41 42 43 44 5A 5A 5A 5A 00 \r\n");
    CHECK_EQ(rig.ask("C0022F0").substr(0, 45), "01 2B 00 01 2B 00 02 31 32 33 34 35 36 37 38 ");
}

// The conversion block and text pieces round trip through the program end to end (write tests); here a
// linearization point, and malformed memory writes that change nothing.
void flowMemoryWrites() {
    Rig rig(Kind::Quorvane);
    rig.write({"k003FD0312E3520", "c003FA402", "k003F9C2BFFFFF6"});
    CHECK_EQ(rig.ask("C003F90").substr(36, 12), "2B FF FF F6 ");
    rig.write({"k003FD0312E35", "c003FA4", "k00400012345678"});
    CHECK_EQ(dumpChars(rig.ask("C003FD0"), 0, 4) + at(rig.ask("C003FA0"), 13), "1.5 02");
}

void registerQueriesAfterWrites() {
    Rig rig(Kind::Lumatrix);
    // Recording: rate code at 17, channel code at 20; "F" is recording off.
    const auto recording = [&] {
        const std::string b00 = rig.ask("B00");
        return at(b00, 17, 1) + at(b00, 20, 1) + "/" + at(b00, 10) + at(b00, 13);
    };
    CHECK_EQ(recording(), "32/012D");
    rig.write({"iC", "b0610"});
    CHECK_EQ(recording(), "C0/012D");
    rig.write({"iF", "b0300", "b0400"});
    CHECK_EQ(recording(), "F0/0000");

    // The service window fixes the unit to range 3 (register and stored setting), then opens it again.
    CHECK_EQ(at(rig.ask("B02"), 8, 1), "0");
    rig.write({"b0002", "b0203", "a08002", "a07B03"});
    CHECK_EQ(at(rig.ask("B02"), 8, 1) + at(rig.ask("C000070"), 34) + rig.ask("C000080").substr(0, 3),
             "30302 ");
    rig.write({"b0200", "a07B00", "a0b400", "a0b500"});
    CHECK_EQ(at(rig.ask("B02"), 8, 1) + pairs(rig.ask("C0000B0"), 13, 2), "00000");
    // The keypad presets round trip through the program end to end (write tests).
}

void flowUnitQueries() {
    // What they answer out of the box the window's end-to-end test reads; here, after writes.
    Rig rig(Kind::Quorvane);
    rig.write({"iD"});
    CHECK_EQ(rig.ask("I"), "D\r");
    rig.write({"iFFFF"}); // a rate list without selection
    CHECK_EQ(at(rig.ask("I"), 1, 1), "F");
    rig.write({"b0304", "b04D2"});
    CHECK_EQ(pairs(rig.ask("B00"), 10, 2), "04D2");
    rig.write({"b3500", "b3600", "b377B", "b450F", "b4642", "b4740"});
    CHECK_EQ(pairs(rig.ask("B30"), 13, 8), "2B00007B2B0F4240");
    CHECK_EQ(at(rig.ask("B10"), 2, 1), "5"); // the flow unit's presets, read with the same query
}

void downloadBlocks() {
    Rig lum(Kind::Lumatrix);
    // 300 blocks logged a minute apart, the last one at the start: block 1 at 14:30 - 299 min. Each block is
    // 32 characters and CR; both channels have both signs and varied values.
    const std::string all = lum.ask("F0001012C");
    CHECK(all.size() == 300 * 33);
    CHECK_EQ(lum.ask("F00010003"), all.substr(0, 3 * 33));
    const std::string b = all.substr(0, 32);
    CHECK_EQ(at(b, 7) + "/" + at(b, 9) + "/" + at(b, 11) + " " + at(b, 5) + ":" + at(b, 3) + ":" + at(b, 1),
             "05/12/26 09:31:00");
    int negativeA = 0, negativeB = 0, lineEnds = 0;
    std::string distinct;
    for (int n = 0; n < 300; ++n) {
        const std::string block = all.substr(static_cast<std::size_t>(33 * n), 33);
        negativeA += at(block, 13) == "2D";
        negativeB += at(block, 23) == "2D";
        lineEnds += block[32] == '\r' && (at(block, 13) == "2B" || at(block, 13) == "2D");
        if (n % 50 == 0 && distinct.find(at(block, 15, 6)) == std::string::npos)
            distinct += at(block, 15, 6);
    }
    CHECK(negativeA > 50 && negativeA < 250 && negativeB > 10 && negativeB < 250 && lineEnds == 300 &&
          distinct.size() == 6 * 6);
    // A block the logger never wrote reads as erased memory; a count of zero sends nothing.
    CHECK_EQ(lum.ask("F012D0001"), std::string(32, 'F') + "\r");
    CHECK_EQ(lum.ask("F00010000"), "");

    // The flow unit's readings are unsigned, at 15-20 and 23-28.
    Rig flow(Kind::Quorvane);
    const std::string fb = flow.ask("F012C0001");
    CHECK(fb.size() == 33 && std::stoi(at(fb, 23, 6), nullptr, 16) > 10000);
    CHECK_EQ(at(fb, 13) + " " + at(fb, 5) + ":" + at(fb, 3) + ":" + at(fb, 1), "2B 14:30:00");
}

void wakeUpFaults() {
    Rig never(Kind::Lumatrix, {.neverWake = true});
    CHECK_EQ(never.talk("\x80") + never.talk("H\r"), ""); // not woken: the command is ignored

    // The second wake-up byte missed; the program's lone CR and second try are answered.
    Rig miss(Kind::Lumatrix, {.missWake = 2});
    CHECK_EQ(miss.ask("I"), "3\r");
    CHECK_EQ(miss.talk("\x80"), "");
    CHECK_EQ(miss.talk("\r\x80"), "!");
    CHECK_EQ(at(miss.talk("B02\r"), 8, 1), "0");

    // Late by 0.3 s: the program's 0.2 s window closes, it sends CR and a second byte, and the one answer
    // arrives inside the second window.
    Rig late(Kind::Lumatrix, {.wakeLate = 0.3});
    late.send("\x80");
    CHECK(near(*late.instrument.nextDue(), startTime + 0.3));
    late.now += 0.2;
    CHECK_EQ(late.instrument.takeDue(late.now), "");
    CHECK_EQ(late.talk("\r\x80"), "!");
    CHECK(near(late.now, startTime + 0.3));
    CHECK_EQ(at(late.talk("B02\r"), 8, 1), "0");
}

void replyFaultsAndPacing() {
    Rig cut(Kind::Lumatrix, {.cutReply = true, .downloadStop = 2});
    CHECK_EQ(cut.ask("H"), "26-12-05 14:30:00");
    CHECK_EQ(cut.ask("C002000"), "03 2D 13 88 2B 13 88 20 20 20 20 56 20 20 20 00 ");
    CHECK(cut.ask("F00010005").size() == 33 + 32); // two blocks, the second without its CR
    CHECK_EQ(Rig(Kind::Quorvane, {.downloadStop = 0}).ask("F00010005"), "");

    // 9600 baud: ten bits per character; slow-chars adds its delay to every character.
    Rig slow(Kind::Lumatrix, {.slowCharMs = 5}, 9600);
    const double perChar = 10.0 / 9600 + 0.005;
    slow.send("\x80");
    CHECK(near(*slow.instrument.nextDue(), startTime + perChar));
    CHECK_EQ(slow.drain(), "!");
    slow.send("C002000\r");
    const double sent = slow.now;
    slow.now += perChar * 10;
    CHECK(slow.instrument.takeDue(slow.now).size() == 10);
    CHECK(slow.drain().size() == 40 && near(slow.now, sent + 50 * perChar));

    // The program closes the line mid-reply: the rest is dropped and the next exchange starts cleanly.
    slow.talk("\x80");
    slow.send("C002000\r");
    slow.now += perChar * 10;
    CHECK(slow.instrument.takeDue(slow.now).size() == 10);
    slow.instrument.lineDropped(slow.now);
    CHECK(!slow.instrument.nextDue());
    CHECK_EQ(slow.ask("I"), "3\r");

    // Paced input: the "!" waits for the wake-up byte, and for a command written just before it.
    Instrument line(defaultState(Kind::Quorvane, startTime), {}, 9600, true);
    line.receive("k0030002B000001\r\x80", startTime);
    CHECK(near(*line.nextDue(), startTime + 18 * 10.0 / 9600));
}

void stateSavedAndLoaded() {
    Rig rig(Kind::Quorvane);
    rig.write({"k003FD0412A5820", "b450F", "h27-01-02 03:04:05"});
    const State& before = rig.instrument.state();
    const std::string text = saveState(before);
    for (const char* line : {"kind quorvane\n", "\nmem 3FD0 41 2A 58 20 ", "\nblock 300 "})
        CHECK(text.find(line) != std::string::npos);
    std::string error;
    const auto loaded = loadState(text, error);
    CHECK(loaded && loaded->kind == Kind::Quorvane && loaded->memory == before.memory &&
          loaded->registers == before.registers && loaded->blocks == before.blocks &&
          loaded->clockOffset == before.clockOffset);
    Instrument again(loaded.value_or(State{}));
    again.receive("\x80H\r", rig.now);
    CHECK_EQ(again.takeDue(rig.now), "!27-01-02 03:04:05\r");

    // Comments, blank lines and CR LF line ends are allowed; lines not listed are erased memory, and a sparse
    // log is filled with erased blocks.
    const auto commented = loadState("# saved by hand\r\n\r\nkind lumatrix # the read-out unit\r\n"
                                     "reg 00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F 10 # first line\n",
                                     error);
    CHECK(commented && commented->registers[0x0F] == 0x10);
    const auto sparse = loadState("kind lumatrix\nblock 3 " + std::string(32, '1') + "\n", error);
    CHECK(sparse && sparse->blocks.size() == 3 && sparse->blocks[0] == std::string(32, 'F') &&
          sparse->memory[0x2000] == 0xFF);

    const std::string mem = " 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00\n";
    const std::pair<std::string, const char*> bad[] = {
        {"", "no \"kind\" line"},
        {"kind lumatrix\nmem 2001 00" + mem, "line 2: expected"},
        {"kind lumatrix\n# note\nmem 2000 0G" + mem, "line 3: expected"},
        {"kind lumatrix\nblock 1 short\n", "line 2: expected"},
        {"kind flowmeter\n", "line 1: unknown kind"},
        {"kind lumatrix\ncolour blue\n", "line 2: unknown item"},
    };
    for (const auto& [input, message] : bad) {
        CHECK(!loadState(input, error = ""));
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
                              "cut-reply=1", "download-stop=x", "slow-chars=1,bogus"})
        CHECK(!parseFaults(wrong, error = "") && !error.empty());
}

} // namespace

int main() {
    for (auto test : {wakeUpAndLineRules, clockQueryAndSetting, memoryDumpLayout, scaleWriteReadsBack,
                      flowMemoryWrites, registerQueriesAfterWrites, flowUnitQueries, downloadBlocks,
                      wakeUpFaults, replyFaultsAndPacing, stateSavedAndLoaded, faultLists})
        test();
    std::puts(simtest::failures ? "emulator core checks failed" : "all emulator core checks passed");
    return simtest::failures ? 1 : 0;
}
