// Small interfaces that net elements may implement.
#pragma once

#include <QString>

class TqibXMLNode;

// How an element stores itself in a net file.
class IQRVStorable
{
public:
    virtual ~IQRVStorable() = default;
    virtual void SaveToXml(TqibXMLNode& element) const = 0;
    // Throws TNetFileError when a required attribute is missing or malformed.
    virtual void LoadFromXml(const TqibXMLNode& element) = 0;
};

// Named numeric values that an element publishes to formulas and charts.
// Names compare without regard to case; an unknown name yields 0.
class IQRVVariables
{
public:
    virtual ~IQRVVariables() = default;
    virtual int VariableCount() const = 0;
    virtual QString VariableName(int index) const = 0;
    virtual double VariableValue(const QString& name) const;
    // The value of the variable at `index` (0 for an index out of range).
    // Formulas that resolved a name once read through this.
    virtual double VariableValueAt(int index) const = 0;
    // The index of `name` (case-insensitive), or -1.
    int VariableIndex(const QString& name) const;
};
