#pragma once

// How numbers, texts and scale settings are written on the serial line and in memory dumps, and
// the number and text rules every part of the program shares. Plain functions without state.
//
// Texts are single-byte strings: one char per character code 0..255 (the instruments speak
// 8-bit ASCII; label and unit characters above 127 are taken as Latin-1 by the Qt side).
// Nothing here reads the locale: a German desktop must produce the same bytes as any other.
//
// No input is rejected: a character that is not a hex digit gives a meaningless digit, and a
// text shorter than the positions read yields empty text and zero values. Nothing throws.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace enc {

// ---------------------------------------------------------------------------------------------
// Hexadecimal text to numbers
// ---------------------------------------------------------------------------------------------

// Value of one hex digit character: c - 48 up to ':' (58), else c - 55 after upper-casing, so
// '0'..'9' give 0..9 and 'A'..'F' (or 'a'..'f') 10..15. Any other character gives some other
// value; the arithmetic is unsigned and wraps, so it can never fail.
std::uint32_t hexDigitValue(char c);

// Upper-cases the text (ASCII only), pads it on the left with '0' to `width` and keeps the
// rightmost `width` characters: "1f4" -> "01F4" for width 4, "12345" -> "2345".
std::string padHex(std::string_view text, std::size_t width);

// Accumulates the digits of padHex(text, width). The result is reduced to `width` digits
// (value modulo 16^width), so meaningless digits still give a value of the expected size.
std::uint32_t hexToValue(std::string_view text, std::size_t width);

std::uint32_t hexToByteValue(std::string_view text);   // 2 digits, 0..255
std::uint32_t hexToWordValue(std::string_view text);   // 4 digits, 0..65535
std::uint32_t hexToTripleValue(std::string_view text); // 6 digits, 0..16777215
// The character whose code is hexToByteValue(text): "41" -> 'A', "20" -> ' ', "" -> '\0'.
char hexToChar(std::string_view text);

// ---------------------------------------------------------------------------------------------
// Numbers to hexadecimal text
// ---------------------------------------------------------------------------------------------

// Upper-case hex without leading zeros; a negative value is written as its 32-bit two's
// complement (-1 -> "FFFFFFFF"). Values beyond 32 bits keep their low 32 bits.
std::string hexText(std::int64_t value);
// hexText with "0" put in front and the rightmost `width` digits kept: hexRight(500, 6) ->
// "0001F4", hexRight(-1, 2) -> "FF", hexRight(0x1869F, 4) -> "869F".
std::string hexRight(std::int64_t value, std::size_t width);
// Two upper-case hex digits of a byte value (taken modulo 256).
std::string hexByte(unsigned value);
// The first `count` characters of the text, padded with spaces when shorter, each as two hex
// digits of its code: ("AB", 4) -> "41422020", ("l/s ", 4) -> "6C2F7320".
std::string textToHexPairs(std::string_view text, std::size_t count);

// ---------------------------------------------------------------------------------------------
// Memory dumps: byte k at 1-based character positions 3k+1 and 3k+2
// ---------------------------------------------------------------------------------------------

// Characters from 1-based position `start`, at most `count`; empty or shorter past the end.
std::string_view midChars(std::string_view text, std::size_t start, std::size_t count);
// The last `count` characters (the whole text when it is shorter).
std::string_view rightChars(std::string_view text, std::size_t count);
std::string_view leftChars(std::string_view text, std::size_t count);

// The two hex digits of byte k (0-based); fewer characters when the dump is shorter.
std::string_view dumpPair(std::string_view dump, std::size_t byteIndex);
// True when both characters of byte k are present.
bool dumpHasByte(std::string_view dump, std::size_t byteIndex);
// Value of byte k; a byte past the end reads as 0.
std::uint32_t dumpByte(std::string_view dump, std::size_t byteIndex);
// Bytes as a dump text: two upper-case hex digits and the separator per byte.
std::string dumpText(std::span<const std::uint8_t> bytes, char separator = ' ');

// ---------------------------------------------------------------------------------------------
// Signs: a signed value travels as the hex code of its ASCII sign
// ---------------------------------------------------------------------------------------------

// "2D" for negative, "2B" otherwise.
std::string_view signPair(bool negative);
// True when the pair (compared upper-cased) is the code of `sign`: isSignPair("2D", '-').
bool isSignPair(std::string_view pair, char sign);
// Decimal text of a magnitude with "-" in front when negative, nothing when positive.
std::string signedText(bool negative, std::uint64_t magnitude);

// ---------------------------------------------------------------------------------------------
// Decimal-point codes and their display patterns
// ---------------------------------------------------------------------------------------------

// "00000", "0000.0", "000.00", "00.000", "0.0000", ".00000" for 0..5; empty for any other code.
std::string_view dpPattern(int dp);
// magnitude / 10^dp in the pattern of dp: at least the pattern's integer digits (more when the
// value needs them), exactly dp decimals. A code outside 0..5 gives the plain decimal text of
// magnitude / 10^dp (no trailing zeros; a negative code counts as 0). Exact, no floating point.
std::string patternText(std::uint64_t magnitude, int dp);
// Sign character then patternText: (false, 5000, 3) -> "+05.000", (true, 0, 0) -> "-00000".
std::string scaleValueText(bool negative, std::uint64_t magnitude, int dp);

// ---------------------------------------------------------------------------------------------
// Scale record: the 16-byte memory slot of one scale (15 bytes used)
// ---------------------------------------------------------------------------------------------

struct ScaleRecord {
    // The decimal-point character as read from the dump (position 2); empty when absent.
    std::string dpText;
    // Its value: the digit 0..9; 0 when absent; -1 for a character that is not a digit.
    int dp = 0;
    bool startNegative = false;
    std::uint16_t startMagnitude = 0;
    bool endNegative = false;
    std::uint16_t endMagnitude = 0;
    // Four characters each as stored, padding kept; fewer only when the dump was cut short.
    std::string label;
    std::string unit;

    bool operator==(const ScaleRecord&) const = default;
};

// Decodes one record from a dump text (positions of byte k as above). Never fails: positions
// past the end give zero values, and label or unit characters past the end are left out.
ScaleRecord decodeScaleRecord(std::string_view dump);

// Display texts of the start and end of scale in the pattern of the record's code.
std::string scaleStartText(const ScaleRecord& record);
std::string scaleEndText(const ScaleRecord& record);

// A start or end of scale typed as text, read the way the scale write reads it: every "." and
// "," removed, the numeric value of what is left (an empty text is 0), limited to -99999..99999,
// rounded to a whole number. Zero counts as positive.
struct ScaleNumber {
    bool negative = false;
    std::uint32_t magnitude = 0; // 0..99999
};
ScaleNumber scaleNumberFromText(std::string_view text);
// False when the magnitude exceeds the 16 bits of the record (65536..99999).
bool scaleNumberFits(const ScaleNumber& number);

// The decimal-point code the scale write sends for a cell text: its numeric value when that
// is 1, 2, 3, 4 or 5, else 0.
int dpCodeFromText(std::string_view text);

// A record built from the texts of one edited scale. Magnitudes above 65535 are limited to
// 65535 (callers that want to refuse them test scaleNumberFits first). Label and unit are padded
// with spaces or cut to four characters; dpText becomes the digit of the code.
ScaleRecord scaleRecordFromTexts(std::string_view dpText, std::string_view startText,
                                 std::string_view endText, std::string_view label, std::string_view unit);

// Bytes 0..14 of the slot as the scale write sends them: the DP code as 1..5 or 0 for any
// other value, sign bytes 0x2D/0x2B, magnitudes high byte first, label and unit padded with
// spaces or cut to four characters.
std::array<std::uint8_t, 15> scaleRecordBytes(const ScaleRecord& record);
// The same 15 bytes as 30 upper-case hex digits.
std::string scaleRecordHex(const ScaleRecord& record);

// 0x2000 + (range - 1) * 0x80 + (gain - 1) * 0x10, for range 1..6 and gain slot 1..8.
std::uint32_t scaleSlotAddress(int range, int gain);
// The same as four upper-case hex digits: (1, 2) -> "2010", (6, 3) -> "22A0".
std::string scaleSlotAddressText(int range, int gain);
// The scale-write command without its CR: "e", the slot address, the 30 digits (35 characters).
std::string scaleWriteCommand(int range, int gain, const ScaleRecord& record);

// ---------------------------------------------------------------------------------------------
// Presets: one hex digit per item, "F" = not assigned
// ---------------------------------------------------------------------------------------------

// One item of the preset reply: "F" (or an absent digit, or anything that is not a decimal digit)
// -> nothing; d -> d + 1. The reply itself is taken apart where the model is filled.
std::optional<int> presetValue(std::string_view digit);

// ---------------------------------------------------------------------------------------------
// Numbers read from text
// ---------------------------------------------------------------------------------------------

// The numeric value of the text read up to the first character that does not fit a number:
// leading blanks (space, tab, CR, LF) skipped, then an optional sign, digits with at most one
// ".", and an exponent (E or D, optional sign, digits) when digits follow it. Nothing that
// fits gives 0. "12abc" -> 12, " -1.5e2x" -> -150, "1,5" -> 1, "" -> 0. A value beyond the
// range of double is limited to the largest double of its sign.
double val(std::string_view text);
// True when the whole text, apart from leading and trailing blanks, is one number in the form
// val reads (at least one digit).
bool isNumeric(std::string_view text);

// Rounds to the nearest whole number, halves to the even neighbour: 2.5 -> 2, 3.5 -> 4, -2.5 -> -2.
double roundHalfEven(double value);
// roundHalfEven as an integer; limited to the int64 range, NaN gives 0.
std::int64_t wholeNumber(double value);

// ---------------------------------------------------------------------------------------------
// Numbers to text
// ---------------------------------------------------------------------------------------------

// The spaced number form of captions and messages: " 2" for 2, " 0" for 0, "-3" for -3.
std::string spacedNumber(std::int64_t value);
// Plain decimal text: "2", "-3".
std::string plainNumber(std::int64_t value);
// Plain text of any number: whole numbers below 1e15 as integers, others with up to 15
// significant digits, "." as the decimal point, exponent as "1E+20" / "1E-05".
std::string numberText(double value);

// The "0000" / "000000" patterns: at least `minDigits` digits with leading zeros, all digits of
// a longer number, "-" in front of a negative one: (12, 4) -> "0012", (-5, 4) -> "-0005".
std::string zeroPadded(std::int64_t value, int minDigits);
// The same for a number with decimals: the decimals are rounded away, halves away from zero.
std::string zeroPaddedRounded(double value, int minDigits);
// The pattern applied to a typed text: a numeric text (isNumeric) is formatted, any other text
// is returned unchanged.
std::string zeroPaddedText(std::string_view text, int minDigits);

// ---------------------------------------------------------------------------------------------
// Text helpers
// ---------------------------------------------------------------------------------------------

// Left-aligned in a cell of exactly `width` characters: padded with spaces or cut on the right.
std::string fitCell(std::string_view text, std::size_t width);
// Spaces (only spaces) removed at both ends.
std::string trimSpaces(std::string_view text);
// ASCII letters upper-cased; every other byte unchanged.
std::string upperAscii(std::string_view text);
// Every character that appears in `chars` removed: removeChars("-05.000", ".,") -> "-05000".
std::string removeChars(std::string_view text, std::string_view chars);

} // namespace enc
