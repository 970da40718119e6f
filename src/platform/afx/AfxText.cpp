// How the platform's controls lay out their text.

#include <QStringList>

#include "platform/afx/AfxImpl.h"

namespace afx {

namespace {

bool IsLineBreak(QChar c) {
    return c == u'\r' || c == u'\n';
}

}  // namespace

QStringList WrapStaticText(const QString& text, const QFontMetricsF& metrics, qreal width) {
    QStringList lines;
    QString line;
    const auto fits = [&](const QString& candidate) { return metrics.horizontalAdvance(candidate) <= width; };
    const qsizetype n = text.size();
    qsizetype i = 0;
    while (i < n) {
        const QChar c = text[i];
        if (IsLineBreak(c)) {
            lines.push_back(line);
            line.clear();
            i += (c == u'\r' && i + 1 < n && text[i + 1] == u'\n') ? 2 : 1;
            continue;
        }
        if (c == u' ') {
            if (!line.isEmpty() && !fits(line + c)) {
                lines.push_back(line);
                line.clear();
            }
            line += c;
            ++i;
            continue;
        }
        qsizetype end = i;
        while (end < n && text[end] != u' ' && !IsLineBreak(text[end])) ++end;
        const QString word = text.mid(i, end - i);
        // A word too long for any line stands alone and is cut at the edge.
        if (!line.isEmpty() && !fits(line + word)) {
            lines.push_back(line);
            line.clear();
        }
        line += word;
        i = end;
    }
    lines.push_back(line);
    return lines;
}

QString TrimTrailingSpaces(const QString& text) {
    qsizetype n = text.size();
    while (n > 0 && text[n - 1] == u' ') --n;
    return text.left(n);
}

QString StripMnemonics(const QString& text) {
    QString result;
    result.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == u'&' && i + 1 < text.size()) ++i;
        result += text[i];
    }
    return result;
}

QString SingleLineText(const QString& text) {
    QString result = text;
    result.replace(QStringLiteral("\r\n"), QStringLiteral(" "));
    result.replace(u'\r', u' ');
    result.replace(u'\n', u' ');
    return result;
}

}  // namespace afx
