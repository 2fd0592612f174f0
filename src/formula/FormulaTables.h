// Name tables, messages and the text rules shared by the parser and the evaluation.
#pragma once

#include <string>
#include <vector>

namespace formula::tables {

constexpr double piLiteral = 3.14159265358979;
constexpr double twoPiLiteral = 6.28318530717958;

std::string toLower(const std::string& s);
std::string toUpper(const std::string& s);

// A decimal numeral with "." as the decimal point (".5" reads as 0.5, "5." as 5, a lone "." as no
// number), never the C locale.
bool parseNumber(const std::string& t, double& value);

// At most 15 significant digits, as numbers appear in messages.
std::string generalNumber(double value);

// The message of an error number with its place-holders filled in order.
std::string fillMessage(long id, const std::vector<std::string>& params);

// 1..5 for the function-name lists, 0 when the name is in none of them.
int functionList(const std::string& name);
// Operation code of a name or operator symbol, -1 when unknown.
int functionCode(const std::string& name);

// Day counts since 30 December 1899.
long long daysFromCivil(long long y, unsigned m, unsigned d);
void civilFromDays(long long days, long long& y, unsigned& m, unsigned& d);

} // namespace formula::tables
