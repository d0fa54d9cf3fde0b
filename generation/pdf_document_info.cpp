#include "generation/pdf_document_info.h"

#include <QRegularExpression>

#include "shell/core/error_report.h"

namespace generation {

namespace {

[[noreturn]] void unreadable(const char* what) {
    throw shell::RuntimeError(
        QStringLiteral("The PDF cannot be given its title and author: %1").arg(QLatin1String(what)));
}

// The number after the last "startxref": where the last cross-reference section begins.
qint64 lastCrossReference(const QByteArray& pdf) {
    const qsizetype at = pdf.lastIndexOf("startxref");
    if (at < 0)
        unreadable("it has no cross-reference table");
    bool ok = false;
    const qint64 offset = pdf.mid(at + 9, 24).trimmed().split('\n').value(0).trimmed().toLongLong(&ok);
    if (!ok || offset <= 0 || offset >= at)
        unreadable("its cross-reference offset is wrong");
    return offset;
}

QByteArray trailerEntry(const QByteArray& trailer, const char* pattern) {
    const QRegularExpression entry(QString::fromLatin1(pattern));
    return entry.match(QString::fromLatin1(trailer)).captured(1).toLatin1();
}

// The creation date of the information object the trailer names, found through the cross-reference
// table; nothing when it has none.
QByteArray creationDate(const QByteArray& pdf, qint64 xref, int infoObject) {
    const QRegularExpression header(QStringLiteral("^xref\\s+(\\d+)\\s+(\\d+)\\s*\\n"));
    const auto section = header.match(QString::fromLatin1(pdf.mid(xref, 64)));
    if (!section.hasMatch())
        return {};
    const int first = section.captured(1).toInt();
    const int count = section.captured(2).toInt();
    if (infoObject < first || infoObject >= first + count)
        return {};
    // Entries are 20 bytes each: ten digits of offset, five of generation, the kind and two end bytes.
    const qint64 entry = xref + section.capturedLength(0) + qint64(infoObject - first) * 20;
    bool ok = false;
    const qint64 offset = pdf.mid(entry, 10).toLongLong(&ok);
    if (!ok || offset <= 0 || offset >= pdf.size())
        return {};
    const qsizetype end = pdf.indexOf("endobj", offset);
    const QByteArray object = pdf.mid(offset, end < 0 ? -1 : end - offset);
    return trailerEntry(object, "/CreationDate\\s*(\\([^)]*\\))");
}

}  // namespace

QByteArray pdfTextString(const QString& text) {
    QByteArray utf16("\xFE\xFF", 2);
    for (const QChar c : text)
        utf16.append(char(c.unicode() >> 8)).append(char(c.unicode() & 0xFF));
    return '<' + utf16.toHex().toUpper() + '>';
}

QByteArray withDocumentInfo(const QByteArray& pdf, const PdfDocumentInfo& info) {
    const qint64 previous = lastCrossReference(pdf);
    const qsizetype trailerAt = pdf.lastIndexOf("trailer");
    if (trailerAt < previous)
        unreadable("it has no trailer after its cross-reference table");
    const QByteArray trailer = pdf.mid(trailerAt, pdf.lastIndexOf("startxref") - trailerAt);
    bool ok = false;
    const int size = trailerEntry(trailer, "/Size\\s+(\\d+)").toInt(&ok);
    const QByteArray root = trailerEntry(trailer, "/Root\\s+(\\d+\\s+\\d+\\s+R)");
    if (!ok || size <= 0 || root.isEmpty())
        unreadable("its trailer names no catalogue");
    const QByteArray id = trailerEntry(trailer, "(/ID\\s*\\[[^\\]]*\\])");
    const QByteArray date =
        creationDate(pdf, previous, trailerEntry(trailer, "/Info\\s+(\\d+)\\s+\\d+\\s+R").toInt());

    QByteArray update = pdf;
    if (!update.endsWith('\n'))
        update.append('\n');
    const int object = size;
    const qint64 objectAt = update.size();
    QByteArray dictionary = "<<";
    const auto add = [&](const char* key, const QString& text) {
        if (!text.isEmpty())
            dictionary.append(" /").append(key).append(' ').append(pdfTextString(text));
    };
    add("Title", info.title);
    add("Author", info.author);
    add("Creator", info.creator);
    add("Producer", info.producer);
    if (!date.isEmpty())
        dictionary.append(" /CreationDate ").append(date);
    dictionary.append(" >>");
    update.append(QByteArray::number(object)).append(" 0 obj\n").append(dictionary).append("\nendobj\n");

    const qint64 xrefAt = update.size();
    update.append("xref\n")
        .append(QByteArray::number(object))
        .append(" 1\n")
        .append(QByteArray::number(objectAt).rightJustified(10, '0'))
        .append(" 00000 n \n");
    update.append("trailer\n<< /Size ")
        .append(QByteArray::number(object + 1))
        .append(" /Root ")
        .append(root)
        .append(" /Info ")
        .append(QByteArray::number(object))
        .append(" 0 R /Prev ")
        .append(QByteArray::number(previous));
    if (!id.isEmpty())
        update.append(' ').append(id);
    update.append(" >>\nstartxref\n").append(QByteArray::number(xrefAt)).append("\n%%EOF\n");
    return update;
}

}  // namespace generation
