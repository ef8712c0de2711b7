#include "model/interfaces.h"

double IQRVVariables::VariableValue(const QString& name) const
{
    const int i = VariableIndex(name);
    return i < 0 ? 0.0 : VariableValueAt(i);
}

int IQRVVariables::VariableIndex(const QString& name) const
{
    const int n = VariableCount();
    for (int i = 0; i < n; ++i)
        if (VariableName(i).compare(name, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}
