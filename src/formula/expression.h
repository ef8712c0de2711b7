// The compiled form of a formula text: a straight-line program for a small
// stack machine. The language has no conditional evaluation, so a text always
// performs the same operations in the same order; the program lists them as
// reading the text meets them, constant parts already computed, and ends
// where reading the text would fail (a Raise instruction).
#pragma once

#include <QStringList>

#include <vector>

#include "formula/formula_math.h"

enum class TRxOp : quint8 {
    Const,    // push Value
    Variable, // push the variable of slot Arg
    Or,
    And,
    Equal,
    NotEqual,
    Greater,
    GreaterEqual,
    LessEqual,
    Less,
    Add,
    Subtract,
    Multiply,
    Divide,
    Power,
    Function, // apply built-in function Arg to the top
    ToDouble, // round the top to a 64-bit float (arguments of MIN and MAX)
    Min,
    Max,
    Raise // raise error Arg
};

struct TRxInstruction
{
    TRxOp Op;
    int Arg;
    long double Value;
};

// The variables a program names, by slot. Reading a slot that cannot be
// resolved raises "Unknown Variable".
class IRxVariables
{
public:
    virtual long double ReadVariable(int slot) const = 0;

protected:
    ~IRxVariables() = default;
};

class TRxProgram
{
public:
    std::vector<TRxInstruction> Code;
    // The distinct variable names, upper case as in the text; an index is a slot.
    QStringList Names;
    // The most values the program holds at once.
    int StackSize = 0;

    long double Run(const IRxVariables& variables) const;

    // A binary operator or MIN/MAX step applied to two values (inlined into
    // the evaluation loop).
    [[gnu::always_inline]] static inline long double Operate(TRxOp op, long double a, long double b)
    {
        using namespace RxMath;
        switch (op) {
        case TRxOp::Or:
            return Truth(a != 0 || b != 0);
        case TRxOp::And:
            return Truth(a != 0 && b != 0);
        case TRxOp::Equal:
            return Truth(a == b);
        case TRxOp::NotEqual:
            return Truth(a != b);
        case TRxOp::Greater:
            return Truth(a > b);
        case TRxOp::GreaterEqual:
            return Truth(a >= b);
        case TRxOp::LessEqual:
            return Truth(a <= b);
        case TRxOp::Less:
            return Truth(a < b);
        case TRxOp::Add:
            return Add(a, b);
        case TRxOp::Subtract:
            return Subtract(a, b);
        case TRxOp::Multiply:
            return Multiply(a, b);
        case TRxOp::Divide:
            return Divide(a, b);
        case TRxOp::Power:
            return Power(a, b);
        case TRxOp::Min:
            return b < a ? b : a;
        case TRxOp::Max:
            return b > a ? b : a;
        default:
            return a;
        }
    }
    static bool IsBinary(TRxOp op) { return op >= TRxOp::Or && op <= TRxOp::Power; }
};
