#include "formula/formula.h"

#include <cmath>

#include "formula/parser.h"
#include "model/designer.h"
#include "model/interfaces.h"
#include "model/numbers.h"
#include "netfile/xml_tree.h"

namespace {

const QString referenceName = QStringLiteral("REFV");

int hexValue(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9')
        return u - u'0';
    if (u >= u'A' && u <= u'F')
        return u - u'A' + 10;
    if (u >= u'a' && u <= u'f')
        return u - u'a' + 10;
    return -1;
}

// Formula evaluations in progress on this thread, one inside the other.
thread_local int evaluationDepth = 0;

// Marks a formula as being evaluated and counts the nesting, until the
// evaluation ends, however it ends.
struct TEvaluationGuard
{
    explicit TEvaluationGuard(bool& flag) : Flag(flag)
    {
        Flag = true;
        ++evaluationDepth;
    }
    ~TEvaluationGuard()
    {
        Flag = false;
        --evaluationDepth;
    }
    bool& Flag;
};

} // namespace

TQRVFormula::TQRVFormula(TQRVObject* owner, TQRVDesigner* designer)
    : TQRVPersistent(owner), m_parser(std::make_unique<TRxMathParser>()),
      m_designer(designer ? designer : (owner ? owner->Designer() : nullptr))
{
    if (owner)
        setParent(owner);
    // For callers that evaluate through the parser itself; the formula's own
    // evaluations read the resolved slots instead.
    m_parser->OnGetVariable = [this](const QString& name, long double& value) {
        TBinding binding;
        if (!resolveName(name, binding, Designer()))
            return false;
        value = binding.Element ? binding.Element->VariableValueAt(binding.Index) : m_reference;
        return true;
    };
    // "RefV" cannot fail, and the owner is still being constructed: no
    // validation and no notification.
    m_parser->SetExpression(QStringLiteral("RefV"));
}

TQRVFormula::~TQRVFormula() = default;

TQRVDesigner* TQRVFormula::Designer() const
{
    return m_owner ? m_owner->Designer() : m_designer;
}

QString TQRVFormula::Formula() const
{
    return m_parser->Expression();
}

QString TQRVFormula::TrySetFormula(const QString& text)
{
    const QString previous = m_parser->Expression();
    m_parser->SetExpression(text);
    if (m_owner && m_owner->HasState(osLoading))
        return QString(); // referenced objects may not have been read yet
    try {
        Value_Actual();
    } catch (const ERxParserError& e) {
        m_parser->SetExpression(previous);
        return e.Message;
    }
    if (m_owner)
        m_owner->SizeChanged();
    return QString();
}

void TQRVFormula::SetFormula(const QString& text)
{
    const QString error = TrySetFormula(text);
    if (error.isEmpty())
        return;
    if (TQRVDesigner* d = Designer())
        d->ShowError(error);
}

bool TQRVFormula::resolveName(const QString& name, TBinding& binding, TQRVDesigner* designer) const
{
    if (name == referenceName) {
        binding.Reference = true;
        return true;
    }
    // object_VARIABLE, split at the first "_".
    const qsizetype split = name.indexOf(QLatin1Char('_'));
    if (split < 0 || !designer)
        return false;
    const auto* element = dynamic_cast<const IQRVVariables*>(designer->FindObject(name.left(split)));
    if (!element)
        return false;
    const int index = element->VariableIndex(name.mid(split + 1));
    if (index < 0)
        return false;
    binding.Element = element;
    binding.Index = index;
    return true;
}

void TQRVFormula::bind() const
{
    const TRxProgram& program = m_parser->Program();
    TQRVDesigner* designer = Designer();
    m_bindings.assign(static_cast<size_t>(program.Names.size()), TBinding{});
    m_needsNet = false;
    for (qsizetype i = 0; i < program.Names.size(); ++i) {
        const QString& name = program.Names.at(i);
        if (name != referenceName && name.contains(QLatin1Char('_')))
            m_needsNet = true;
        resolveName(name, m_bindings[static_cast<size_t>(i)], designer);
    }
    m_boundSerial = m_parser->ProgramSerial();
    m_boundDesigner = designer;
    m_boundGeneration = designer ? designer->NamesGeneration() : 0;
}

long double TQRVFormula::ReadVariable(int slot) const
{
    const TBinding& b = m_bindings[static_cast<size_t>(slot)];
    if (b.Element)
        return b.Element->VariableValueAt(b.Index);
    if (b.Reference)
        return m_reference;
    RaiseRxError(TRxError::UnknownVariable);
}

long double TQRVFormula::Evaluate() const
{
    // A formula reached again while it is being evaluated depends on its own
    // value (a rate that reads itself through its transition).
    if (m_evaluating)
        RaiseRxError(TRxError::CircularReference);
    if (evaluationDepth >= MaxReferenceDepth)
        RaiseRxError(TRxError::ReferenceDepth);
    TEvaluationGuard guard(m_evaluating);
    if (m_boundSerial != m_parser->ProgramSerial()) {
        bind();
    } else if (m_needsNet) {
        // Names are resolved again when objects were renamed, created or deleted.
        const TQRVDesigner* designer = Designer();
        if (designer != m_boundDesigner || (designer && designer->NamesGeneration() != m_boundGeneration))
            bind();
    }
    return m_parser->Evaluate(*this);
}

double TQRVFormula::Value_Actual() const
{
    const long double r = Evaluate();
    if (std::isnan(r))
        RaiseRxError(TRxError::InvalidOperation);
    if (!RxMath::FitsDouble(r))
        RaiseRxError(TRxError::Overflow);
    double v = static_cast<double>(r);
    if (!(v > 0))
        v = 0; // never negative
    switch (m_kind) {
    case fkInteger:
        return std::trunc(v);
    case fkBoolean:
        return v != 0 ? 1 : 0;
    case fkReal:
        break;
    }
    return v;
}

bool TQRVFormula::TryValue(double& value, QString* error) const
{
    try {
        value = Value_Actual();
        return true;
    } catch (const ERxParserError& e) {
        if (error)
            *error = e.Message;
        return false;
    }
}

bool TQRVFormula::IsStatic() const
{
    for (const QString& name : m_parser->Program().Names)
        if (name != referenceName && name.contains(QLatin1Char('_')))
            return false;
    return true;
}

void TQRVFormula::Assign(const TQRVFormula& source)
{
    if (!source.Formula().isEmpty())
        SetFormula(source.Formula());
    if (m_owner)
        m_owner->SizeChanged();
}

QString TQRVFormula::EncodeText(const QString& text)
{
    // Besides the escapes of the file format, '"' (it would end the attribute)
    // and control characters (the reader turns them into blanks) are escaped.
    // Characters beyond Latin-1 stay as they are: the file is then UTF-8.
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u == u' ' || u == u'*' || u == u'#' || u == u'%' || u == u'<' || u == u'>' || u == u'"' ||
            u < 32 || (u >= 128 && u <= 255)) {
            out += QLatin1Char('%');
            out += QString::number(u, 16).toUpper().rightJustified(2, u'0');
        } else {
            out += c;
        }
    }
    return out;
}

QString TQRVFormula::DecodeText(const QString& text)
{
    QString out;
    out.reserve(text.size());
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        if (text.at(i) == QLatin1Char('%') && i + 2 < n) {
            const int high = hexValue(text.at(i + 1));
            const int low = hexValue(text.at(i + 2));
            if (high >= 0 && low >= 0 && high * 16 + low > 0)
                out += QChar(high * 16 + low);
            i += 2; // an escape that does not convert, or gives 0, is dropped
        } else {
            out += text.at(i);
        }
    }
    return out;
}

void TQRVFormula::SaveToXml(TqibXMLNode& element) const
{
    // A text that cannot be evaluated now (it names an element that was
    // deleted, say) is still the user's text: it is kept, and the value
    // written beside it is the reference value.
    double actual = 0;
    if (!TryValue(actual))
        actual = m_reference;
    element.AddAttribute(QStringLiteral("formula"), EncodeText(Formula()));
    element.AddAttribute(QStringLiteral("Value_Reference"), FormatGeneral(m_reference));
    element.AddAttribute(QStringLiteral("Value_Actual"), FormatGeneral(actual));
}

void TQRVFormula::LoadFromXml(const TqibXMLNode& element)
{
    if (TqibXMLAttribute* a = element.GetAttribute(QStringLiteral("formula")))
        SetFormula(DecodeText(a->Value));
    if (TqibXMLAttribute* a = element.GetAttribute(QStringLiteral("Value_Reference")))
        m_reference = a->AsFloat();
}
