// SPDX-License-Identifier: GPL-3.0-or-later
// korva-fileformat: the README's table of the parameter file, written from the frame layout
// tables that the builder and the parser walk, so the documentation cannot drift from them.
//
//   korva-fileformat                  prints the table
//   korva-fileformat --check FILE     fails when FILE's table differs
//   korva-fileformat --update FILE    rewrites FILE's table
#include "frames.h"
#include "paramstore.h"

#include <QFile>
#include <QString>
#include <QStringList>

#include <cstdio>

namespace {

const char kBegin[] = "<!-- parameter-file table: written by korva-fileformat --update -->\n";
const char kEnd[] = "<!-- end of parameter-file table -->\n";

QString encoding(const FrameSlot &slot)
{
    switch (slot.encoding) {
    case SlotEncoding::Dec:
        return QStringLiteral("1 hexadecimal digit: the value");
    case SlotEncoding::Hex:
        return QStringLiteral("2 hexadecimal digits: value + %1").arg(slot.k);
    case SlotEncoding::Digits3:
        return QStringLiteral("3 digits: hundreds, tens, ones");
    case SlotEncoding::Fixed:
        return QStringLiteral("always \"%1\"").arg(QLatin1String(slot.fixed));
    }
    return QString();
}

QString bytes(int first, int last)
{
    return first == last ? QString::number(first) : QStringLiteral("%1–%2").arg(first).arg(last);
}

// A field's name without its number: "Lepa" for Lepa3; a name without one stands alone.
QString stem(const QString &name)
{
    int end = name.size();
    while (end > 0 && name.at(end - 1).isDigit())
        --end;
    return name.left(end);
}

int number(const QString &name)
{
    return name.mid(stem(name).size()).toInt();
}

struct Row
{
    int first;
    int last;
    QStringList fields;
    int width;
    QString encoding;
};

QString fieldNames(const QStringList &names)
{
    // "rev1 … rev8" only where the numbers run on one by one; otherwise every name, in order.
    bool running = names.size() > 2;
    for (int i = 1; running && i < names.size(); ++i)
        running = number(names.at(i)) == number(names.at(i - 1)) + 1;
    return running ? names.first() + QStringLiteral(" … ") + names.last()
                   : names.join(QStringLiteral(", "));
}

QString table()
{
    QString out = QStringLiteral("| Bytes | Frame | Fields | Width each | Encoding |\n"
                                 "|---|---|---|---|---|\n");
    for (const FrameLayout *layout : {&kFrameS, &kFrameG, &kFrameH}) {
        const QChar frame = QLatin1Char(layout->letter);
        const int at = layout->fileOffset;
        QVector<Row> rows;
        rows.append({at,
                     at,
                     {QStringLiteral("start letter")},
                     1,
                     QStringLiteral("always \"%1\"").arg(frame)});
        int pos = at + 1;
        for (int i = 0; i < layout->slotCount; ++i) {
            const FrameSlot &slot = layout->fields[i];
            const int width = slotWidth(slot);
            const QString name = slot.member ? QLatin1String(intFieldName(slot.member))
                                             : QStringLiteral("fixed text");
            const QString how = encoding(slot);
            // Numbered neighbours that are encoded alike share a row: rev1 … rev8.
            if (slot.member && !rows.isEmpty() && rows.last().encoding == how &&
                rows.last().width == width && rows.last().last == pos - 1 && stem(name) != name &&
                stem(rows.last().fields.first()) == stem(name))
                rows.last().fields.append(name), rows.last().last = pos + width - 1;
            else
                rows.append({pos, pos + width - 1, {name}, width, how});
            pos += width;
        }
        const int end = at + kFrameLength - 1;
        if (pos < end)
            rows.append({pos,
                         end - 1,
                         {QStringLiteral("tail")},
                         end - pos,
                         QStringLiteral("always \"%1\"")
                             .arg(QLatin1String(layout->tmpl + (pos - at), end - pos))});
        rows.append({end,
                     end,
                     {QStringLiteral("end letter")},
                     1,
                     QStringLiteral("always \"%1\"").arg(QLatin1Char(layout->endLetter))});
        for (const Row &row : qAsConst(rows)) {
            out += QStringLiteral("| %1 | %2 | %3 | %4 | %5 |\n")
                       .arg(bytes(row.first, row.last), frame, fieldNames(row.fields))
                       .arg(row.width)
                       .arg(row.encoding);
        }
    }
    return out;
}

} // namespace

int main(int argc, char *argv[])
{
    const QString generated = table();
    if (argc == 1) {
        std::fputs(generated.toUtf8().constData(), stdout);
        return 0;
    }
    const QString mode = QString::fromLocal8Bit(argv[1]);
    if (argc != 3 || (mode != QLatin1String("--check") && mode != QLatin1String("--update"))) {
        std::fprintf(stderr, "usage: korva-fileformat [--check|--update FILE]\n");
        return 2;
    }
    QFile file(QString::fromLocal8Bit(argv[2]));
    if (!file.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "korva-fileformat: cannot read %s\n", argv[2]);
        return 2;
    }
    const QString text = QString::fromUtf8(file.readAll());
    file.close();
    const int begin = text.indexOf(QLatin1String(kBegin));
    const int end = text.indexOf(QLatin1String(kEnd));
    if (begin < 0 || end < begin) {
        std::fprintf(stderr, "korva-fileformat: %s has no table markers\n", argv[2]);
        return 2;
    }
    const int from = begin + int(qstrlen(kBegin));
    if (text.mid(from, end - from) == generated)
        return 0;
    if (mode == QLatin1String("--check")) {
        std::fprintf(stderr,
                     "korva-fileformat: the table in %s is out of date; run\n"
                     "    korva-fileformat --update %s\n",
                     argv[2], argv[2]);
        return 1;
    }
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return 2;
    file.write((text.left(from) + generated + text.mid(end)).toUtf8());
    return 0;
}
