// Evaluator of formula text typed by users. A formula is parsed once into a flat table of operation
// rows, then evaluated any number of times with new variable values. The linearization table of the
// flow unit is computed with it, so every quirk of the parsing rules (2^3^2 is 64, 2*-3 is refused,
// blanks do not end an operand, log is the natural logarithm) is kept on purpose: stored formulas were
// written for exactly this behaviour.
#pragma once

#include <array>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace formula {

// Raised by the evaluation methods; what() is the evaluator's error description.
class FormulaError : public std::runtime_error {
public:
    FormulaError(long number, const std::string& description)
        : std::runtime_error(description), number_(number) {}
    long number() const { return number_; }
    std::string source() const { return "FormulaEvaluator"; }

private:
    long number_;
};

// The host's angle choice when the evaluator is created.
enum class HostAngle { Radians, Degrees };

class FormulaEvaluator {
public:
    static constexpr int maxRows = 198;
    static constexpr int maxArgs = 20;
    static constexpr int maxVars = 100;

    explicit FormulaEvaluator(HostAngle hostAngle = HostAngle::Radians);

    bool storeExpression(const std::string& strExpr);
    std::string expression() const { return expression_; }

    long varTop() const { return static_cast<long>(vars_.size()); }
    std::string varName(long index) const;
    double varValue(long index) const;
    void setVarValue(long index, double varVal);
    double varSymb(const std::string& name) const;
    void setVarSymb(const std::string& name, double value) { setVariable(name, value); }
    double variable(const std::string& name) const;
    double variable(long index) const;
    // The host assigns the same variable by name before every evaluation: the name assigned last is
    // compared here, where the call costs more than the comparison, and anything else is looked up.
    void setVariable(const std::string& name, double value) {
        if (lastAssigned_ && sameAsLast(name)) {
            varValues_[static_cast<std::size_t>(lastVar_)] = value;
            return;
        }
        assignByName(name, value);
    }
    void setVariable(long index, double value);

    std::string angleUnit() const { return angleUnit_; }
    void setAngleUnit(const std::string& angleUM);
    bool opAssignExplicit() const { return opAssignExplicit_; }
    void setOpAssignExplicit(bool assignEnable) { opAssignExplicit_ = assignEnable; }
    bool opUnitConv() const { return opUnitConv_; }
    void setOpUnitConv(bool convEnable) { opUnitConv_ = convEnable; }
    bool opDMSConv() const { return opDMSConv_; }
    void setOpDMSConv(bool convEnable) { opDMSConv_ = convEnable; }

    std::string errorDescription() const { return errorDescription_; }
    long errorId() const { return errorId_; }
    long errorPos() const { return errorPos_; }

    // Nothing to reset and nothing to check on the usual call: straight to the walk.
    double eval() {
        if (storedOk_ && errorId_ == 0 && !opAssignExplicit_ && errorDescription_.empty())
            return evalReady();
        return evalChecked();
    }
    double eval1(double x) {
        if (storedOk_ && errorId_ == 0 && vars_.size() <= 1 && errorDescription_.empty())
            return eval1Ready(x);
        return eval1Checked(x);
    }
    // Element 0 of varValue is unused; the result has the same size with element 0 left at 0.
    std::vector<double> evalMulti(const std::vector<double>& varValue);
    std::vector<double> evalMulti(const std::vector<double>& varValue, const std::string& varName);
    std::vector<double> evalMulti(const std::vector<double>& varValue, long varIndex);

    // Rows 0..table top, 15 columns; row 0 holds the titles. Numbers are in the general number format.
    std::vector<std::array<std::string, 15>> etDump() const;

    // Number to text as used in messages and the dump (at most 15 significant digits).
    static std::string numberText(double value);

private:
    struct Arg {
        long idx = 0;
        std::string name;
        double value = 0.0;
        long sign = 1;
    };
    struct Row {
        std::string fun;
        long funId = -1;
        std::array<Arg, maxArgs + 1> arg{}; // 1-based
        long argTop = 0;
        long argOf = 0;
        long argIdx = 0;
        double value = 0.0;
        long resultSign = 0;
        long posInExpr = 0;
        long priLvl = 0;
        long priIdx = 0;
        long cond = 0;
    };
    struct Var {
        std::string name;
        bool assigned = false;
    };
    // The table compiled for the walk: one compact record per row in evaluation order, argument
    // values in one flat array, and the list of argument slots that read a variable.
    struct Op {
        int code;
        int argTop;
        int row;     // 1-based row number
        int argBase; // first slot of this row's arguments in args_
        int target;  // slot receiving the result, -1 for none
        int cond;    // row whose value 0 skips this one, 0 for none
        bool negate;
    };
    struct Load {
        int slot;
        int var; // 0-based variable index
        int sign;
    };
    // What the walk runs: per row in evaluation order, the kind of computation chosen when the formula
    // was stored (the operators and functions of everyday formulas have their own; the rest, and every
    // failure, go through the library with the row's Op) and where its inputs and result live.
    struct Step {
        std::uint8_t kind;
        std::uint8_t guardedKind; // the kind of a row that has a condition
        std::uint8_t argTop;
        int argBase;
        int target; // a scratch slot past the arguments when the result feeds no row
        int row;
        int cond; // row whose value 0 skips this one, 0 for none
        int op;   // index in ops_
    };

    // Parsing.
    bool fail(long id, std::vector<std::string> params = {});
    bool storeOperand(std::string t, int k);
    int newRow(const std::string& fun, long argTop, long priLvl, long pos);
    bool numberWithUnit(const std::string& t, double& value) const;
    int dmsAngle(const std::string& t, double& value) const; // 0 not an angle, 1 ok, -1 malformed
    void evaluationOrder();
    void linking();
    void conditionalMarking();
    void argumentCarriers();
    void clearLinkedArguments();
    void compile();

    // Evaluation.
    double evalReady();
    double evalChecked();
    double eval1Ready(double x);
    double eval1Checked(double x);
    bool sameAsLast(const std::string& name) const {
        const std::size_t n = name.size();
        if (n != lastName_.size())
            return false;
        const char* p = name.data();
        const char* q = lastName_.data();
        for (std::size_t i = 0; i < n; ++i)
            if (p[i] != q[i])
                return false;
        return true;
    }
    void assignByName(const std::string& name, double value);
    bool walk(double& result);
    bool libraryStep(const Op& op, double& result);
    int computeRow(const Op& op, double& result) const; // 0 done, 1 failed, 2 code not handled
    void reportFailure(const Op& op, int status);
    void loadVariables();
    [[noreturn]] void raise(long number);
    int findVar(const std::string& name) const;
    int scanVars(const std::string& name) const;
    void buildSteps();

    std::string expression_;
    bool storedOk_ = false;
    std::vector<Var> vars_;
    std::vector<double> varValues_; // by variable, side by side for the loads
    std::vector<Row> rows_;         // 1-based, rows_[0] unused
    std::string errorDescription_;
    long errorId_ = 0;
    long errorPos_ = 0;
    std::string angleUnit_ = "RAD";
    double angleFactor_ = 1.0;
    bool opAssignExplicit_ = false;
    bool opUnitConv_ = true;
    bool opDMSConv_ = true;

    std::vector<Op> ops_;
    std::vector<double> args_;
    std::vector<double> rowValues_; // 1-based
    std::vector<Load> loads_;
    std::size_t plainLoads_ = 0; // loads_ before this index take the value, the rest its negative
    std::vector<Step> steps_;
    // The host assigns the same variable by name before every evaluation: remember the last spelling.
    mutable std::string lastName_;
    mutable int lastVar_ = -1;
    mutable bool lastAssigned_ = false; // the remembered variable has been assigned since it was stored
};

} // namespace formula
