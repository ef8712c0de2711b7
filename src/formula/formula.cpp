#include "formula/formula.h"

#include <cmath>

#include "formula/parser.h"
#include "model/designer.h"
#include "model/interfaces.h"
#include "model/numbers.h"
#include "netfile/xml_tree.h"

TQRVFormula::TQRVFormula(TQRVObject* owner, TQRVDesigner* designer)
    : TQRVPersistent(owner), m_parser(std::make_unique<TRxMathParser>()),
      m_designer(designer ? designer : (owner ? owner->Designer() : nullptr))
{
    if (owner)
        setParent(owner);
    m_parser->OnGetVariable = [this](const QString& name, long double& value) {
        if (name == QLatin1String("REFV")) {
            value = m_reference;
            return true;
        }
        const int us = name.indexOf(QLatin1Char('_'));
        if (us < 0)
            return false;
        TQRVDesigner* d = m_owner ? m_owner->Designer() : m_designer;
        if (!d)
            return false;
        auto* vars = dynamic_cast<IQRVVariables*>(d->FindObject(name.left(us)));
        if (!vars)
            return false;
        const int i = vars->VariableIndex(name.mid(us + 1));
        if (i < 0)
            return false;
        value = vars->VariableValueAt(i);
        return true;
    };
    m_parser->SetExpression(QStringLiteral("RefV"));
}

TQRVFormula::~TQRVFormula() = default;

QString TQRVFormula::Formula() const
{
    return m_parser->Expression();
}

QString TQRVFormula::TrySetFormula(const QString& text)
{
    const QString previous = m_parser->Expression();
    m_parser->SetExpression(text);
    if (m_owner && m_owner->HasState(osLoading))
        return QString();
    try {
        m_parser->Evaluate();
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
    if (!error.isEmpty() && m_designer)
        m_designer->ShowError(error);
}

double TQRVFormula::Value_Actual() const
{
    double v = static_cast<double>(m_parser->Evaluate());
    if (v < 0)
        v = 0;
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
    return !Formula().contains(QLatin1Char('_'));
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
    QString out;
    for (QChar c : text) {
        const ushort u = c.unicode();
        if (u == ' ' || u == '*' || u == '#' || u == '%' || u == '<' || u == '>' || u >= 128)
            out += QLatin1Char('%') + QString::number(u & 0xFF, 16).toUpper().rightJustified(2, u'0');
        else
            out += c;
    }
    return out;
}

QString TQRVFormula::DecodeText(const QString& text)
{
    QString out;
    for (int i = 0; i < text.size(); ++i) {
        if (text.at(i) == QLatin1Char('%')) {
            bool ok = false;
            const int code = text.mid(i + 1, 2).toInt(&ok, 16);
            i += 2;
            if (ok && code > 0)
                out += QChar(code);
        } else {
            out += text.at(i);
        }
    }
    return out;
}

void TQRVFormula::SaveToXml(TqibXMLNode& element) const
{
    double actual = 0;
    if (TryValue(actual)) {
        element.AddAttribute(QStringLiteral("formula"), EncodeText(Formula()));
        element.AddAttribute(QStringLiteral("Value_Reference"), FormatGeneral(m_reference));
        element.AddAttribute(QStringLiteral("Value_Actual"), FormatGeneral(actual));
    } else {
        element.AddAttribute(QStringLiteral("formula"), QStringLiteral("RefV"));
        element.AddAttribute(QStringLiteral("Value_Reference"), QStringLiteral("1"));
        element.AddAttribute(QStringLiteral("Value_Actual"), QStringLiteral("1"));
    }
}

void TQRVFormula::LoadFromXml(const TqibXMLNode& element)
{
    if (TqibXMLAttribute* a = element.GetAttribute(QStringLiteral("formula")))
        SetFormula(DecodeText(a->Value));
    if (TqibXMLAttribute* a = element.GetAttribute(QStringLiteral("Value_Reference")))
        m_reference = a->AsFloat();
}
