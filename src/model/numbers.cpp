#include "model/numbers.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <locale.h>
#include <string>

namespace {

// Reads a decimal number with "." as separator whatever the process locale:
// the application object sets the locale from the environment when it is
// created, and with a locale that writes "," strtod would stop at the ".".
double readDecimal(const char* text, char** end)
{
    static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", locale_t(nullptr));
    return strtod_l(text, end, cLocale);
}

// Writes the general form of `value` into `buf` and returns its length.
int formatGeneral(char* buf, double value, int precision)
{
    if (std::isnan(value))
        return std::snprintf(buf, 64, "NAN");
    if (std::isinf(value))
        return std::snprintf(buf, 64, value > 0 ? "INF" : "-INF");
    if (value == 0.0) {
        buf[0] = '0';
        buf[1] = 0;
        return 1;
    }
    if (precision < 1)
        precision = 1;
    if (precision > 18)
        precision = 18;

    // Whole numbers that fit the precision: the common case in markings.
    if (std::fabs(value) < 1e15 && value == std::trunc(value) && precision >= 15) {
        long long n = static_cast<long long>(value);
        int len = 0;
        if (n < 0) {
            buf[len++] = '-';
            n = -n;
        }
        char digits[20];
        int nd = 0;
        do {
            digits[nd++] = static_cast<char>('0' + n % 10);
            n /= 10;
        } while (n > 0);
        while (nd > 0)
            buf[len++] = digits[--nd];
        buf[len] = 0;
        return len;
    }

    // Round to `precision` significant digits through the %e form.
    char tmp[64];
    std::snprintf(tmp, sizeof tmp, "%.*e", precision - 1, value);
    // tmp: [-]d.ddddde[+-]xx
    const char* p = tmp;
    bool negative = false;
    if (*p == '-') {
        negative = true;
        ++p;
    }
    char digits[32];
    int nd = 0;
    for (; *p && *p != 'e'; ++p)
        if (*p >= '0' && *p <= '9')
            digits[nd++] = *p;
    int exponent = std::atoi(p + 1);
    while (nd > 1 && digits[nd - 1] == '0')
        --nd;

    int len = 0;
    if (negative)
        buf[len++] = '-';
    // Fixed notation while the integer part has at most `precision` digits
    // and the value is not below 0.00001.
    if (exponent >= -5 && exponent < precision) {
        if (exponent < 0) {
            buf[len++] = '0';
            buf[len++] = '.';
            for (int i = -1; i > exponent; --i)
                buf[len++] = '0';
            for (int i = 0; i < nd; ++i)
                buf[len++] = digits[i];
        } else {
            for (int i = 0; i <= exponent; ++i)
                buf[len++] = i < nd ? digits[i] : '0';
            if (nd > exponent + 1) {
                buf[len++] = '.';
                for (int i = exponent + 1; i < nd; ++i)
                    buf[len++] = digits[i];
            }
        }
    } else {
        buf[len++] = digits[0];
        if (nd > 1) {
            buf[len++] = '.';
            for (int i = 1; i < nd; ++i)
                buf[len++] = digits[i];
        }
        len += std::snprintf(buf + len, 16, "E%d", exponent);
    }
    buf[len] = 0;
    return len;
}

} // namespace

QString FormatGeneral(double value, int precision)
{
    char buf[64];
    int n = formatGeneral(buf, value, precision);
    return QString::fromLatin1(buf, n);
}

void AppendGeneral(std::string& out, double value, int precision)
{
    char buf[64];
    int n = formatGeneral(buf, value, precision);
    out.append(buf, static_cast<size_t>(n));
}

bool ParseReal(const QString& text, double& value)
{
    // Whole numbers of up to 15 digits, most of what files hold, are exact
    // without the general conversion.
    const QStringView t = QStringView(text).trimmed();
    if (!t.isEmpty() && t.size() <= 16) {
        qsizetype i = t.front() == u'-' || t.front() == u'+' ? 1 : 0;
        qint64 whole = 0;
        const qsizetype digits = t.size() - i;
        for (; i < t.size() && t[i] >= u'0' && t[i] <= u'9'; ++i)
            whole = whole * 10 + (t[i].unicode() - u'0');
        if (i == t.size() && digits > 0 && digits <= 15) {
            value = t.front() == u'-' ? -static_cast<double>(whole) : static_cast<double>(whole);
            return true;
        }
    }
    QByteArray bytes = text.trimmed().toLatin1();
    bytes.replace(',', '.');
    if (bytes.isEmpty())
        return false;
    // Accept only what a decimal number may contain; strtod would also take
    // hexadecimal and "inf"/"nan" forms.
    for (char c : bytes) {
        if (!((c >= '0' && c <= '9') || c == '.' || c == '+' || c == '-' || c == 'e' || c == 'E'))
            return false;
    }
    char* end = nullptr;
    double v = readDecimal(bytes.constData(), &end);
    if (end != bytes.constData() + bytes.size() || !std::isfinite(v))
        return false;
    value = v;
    return true;
}

bool ParseInteger(const QString& text, int& value)
{
    bool ok = false;
    int v = text.trimmed().toInt(&ok, 10);
    if (!ok)
        return false;
    value = v;
    return true;
}

double RoundHalfEven(double value)
{
    return std::nearbyint(value); // the default rounding mode is to nearest, ties to even
}

double RoundTrip15(double value)
{
    char buf[64];
    formatGeneral(buf, value, 15);
    return readDecimal(buf, nullptr);
}
