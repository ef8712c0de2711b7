#include "formula/expression.h"

#include <memory>

long double TRxProgram::Run(const IRxVariables& variables) const
{
    constexpr int localSize = 16;
    long double local[localSize];
    std::unique_ptr<long double[]> deep;
    long double* sp = local;
    if (StackSize > localSize) {
        deep.reset(new long double[static_cast<size_t>(StackSize)]);
        sp = deep.get();
    }
    for (const TRxInstruction& in : Code) {
        switch (in.Op) {
        case TRxOp::Const:
            *sp++ = in.Value;
            break;
        case TRxOp::Variable:
            *sp++ = variables.ReadVariable(in.Arg);
            break;
        case TRxOp::Function:
            sp[-1] = RxMath::ApplyFunction(in.Arg, sp[-1]);
            break;
        case TRxOp::ToDouble:
            sp[-1] = RxMath::ToDouble(sp[-1]);
            break;
        case TRxOp::Raise:
            RaiseRxError(static_cast<TRxError>(in.Arg));
        default:
            --sp;
            sp[-1] = Operate(in.Op, sp[-1], sp[0]);
            break;
        }
    }
    return sp[-1];
}
