#include "spreadsheet/container/compound_file.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <memory>

#include "spreadsheet/container/gsf_library.h"
#include "spreadsheet/error.h"

#include <gsf/gsf-meta-names.h>

namespace spreadsheet {

namespace {

struct GObjectUnref {
    void operator()(gpointer object) const {
        if (object)
            gsf().g_object_unref(object);
    }
};
template <typename T>
using GPtr = std::unique_ptr<T, GObjectUnref>;

struct GErrorFree {
    void operator()(GError* error) const {
        if (error)
            g_error_free(error);
    }
};
using ErrorPtr = std::unique_ptr<GError, GErrorFree>;

QString errorText(const GError* error) {
    return error && error->message ? QString::fromUtf8(error->message) : QStringLiteral("unknown reason");
}

// The class of an Excel 97-2003 workbook, {00020820-0000-0000-C000-000000000046}, as stored on disk.
constexpr guint8 kWorkbookClassId[16] = {0x20, 0x08, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00,
                                         0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};

void appendU32(QByteArray& out, quint32 value) {
    for (int i = 0; i < 4; ++i)
        out.append(char((value >> (8 * i)) & 0xFF));
}

void appendAnsiString(QByteArray& out, const char* text) {
    const QByteArray bytes(text);
    appendU32(out, quint32(bytes.size() + 1));
    out.append(bytes);
    out.append('\0');
}

// Opens the bytes as a compound file; libgsf keeps a pointer to them, so they must outlive the result.
GPtr<GsfInfile> openInfile(const QByteArray& bytes, const QString& origin) {
    const GsfLibrary& lib = gsf();
    GPtr<GsfInput> input(lib.gsf_input_memory_new(reinterpret_cast<const guint8*>(bytes.constData()),
                                                  gsf_off_t(bytes.size()), FALSE));
    if (!input)
        throw SpreadsheetError(QStringLiteral("Could not read %1.").arg(origin));
    GError* raw = nullptr;
    GPtr<GsfInfile> infile(lib.gsf_infile_msole_new(input.get(), &raw));
    ErrorPtr error(raw);
    if (!infile) {
        throw SpreadsheetError(
            QStringLiteral("%1 is not an Excel 97-2003 workbook (%2).").arg(origin, errorText(error.get())));
    }
    return infile;
}

QByteArray readWhole(GsfInput* input, const QString& what, qint64 limit) {
    const gsf_off_t size = gsf().gsf_input_size(input);
    if (size < 0 || size > limit) {
        throw SpreadsheetError(
            QStringLiteral("The %1 has an impossible size (%2 bytes).").arg(what).arg(qint64(size)));
    }
    QByteArray data(qsizetype(size), Qt::Uninitialized);
    qsizetype done = 0;
    while (done < data.size()) {
        const qsizetype chunk = std::min<qsizetype>(data.size() - done, 64 * 1024);
        if (!gsf().gsf_input_read(input, size_t(chunk), reinterpret_cast<guint8*>(data.data() + done))) {
            throw SpreadsheetError(QStringLiteral("The %1 is truncated or damaged.").arg(what));
        }
        done += chunk;
    }
    return data;
}

QString metaString(GsfDocMetaData* meta, const char* name) {
    GsfDocProp* prop = gsf().gsf_doc_meta_data_lookup(meta, name);
    if (!prop)
        return {};
    const GValue* value = gsf().gsf_doc_prop_get_val(prop);
    if (value && G_VALUE_TYPE(value) == G_TYPE_STRING)
        return QString::fromUtf8(gsf().g_value_get_string(value));
    return {};
}

QDateTime metaTime(GsfDocMetaData* meta, const char* name) {
    GsfDocProp* prop = gsf().gsf_doc_meta_data_lookup(meta, name);
    if (!prop)
        return {};
    const GValue* value = gsf().gsf_doc_prop_get_val(prop);
    if (!value || G_VALUE_TYPE(value) != gsf().gsf_timestamp_get_type())
        return {};
    const auto* stamp = static_cast<const GsfTimestamp*>(gsf().g_value_get_boxed(value));
    if (!stamp)
        return {};
    return QDateTime::fromSecsSinceEpoch(qint64(stamp->timet), Qt::UTC);
}

void insertString(GsfDocMetaData* meta, const char* name, const QString& text) {
    if (text.isEmpty())
        return;
    GValue* value = g_new0(GValue, 1);
    gsf().g_value_init(value, G_TYPE_STRING);
    gsf().g_value_set_string(value, text.toUtf8().constData());
    gsf().gsf_doc_meta_data_insert(meta, g_strdup(name), value);
}

void insertTime(GsfDocMetaData* meta, const char* name, const QDateTime& time) {
    if (!time.isValid())
        return;
    GsfTimestamp* stamp = gsf().gsf_timestamp_new();
    gsf().gsf_timestamp_set_time(stamp, guint64(std::max<qint64>(0, time.toSecsSinceEpoch())));
    GValue* value = g_new0(GValue, 1);
    gsf().g_value_init(value, gsf().gsf_timestamp_get_type());
    gsf().g_value_take_boxed(value, stamp);
    gsf().gsf_doc_meta_data_insert(meta, g_strdup(name), value);
}

GPtr<GsfDocMetaData> metaDataOf(const DocumentProperties& p) {
    GPtr<GsfDocMetaData> meta(gsf().gsf_doc_meta_data_new());
    insertString(meta.get(), GSF_META_NAME_TITLE, p.title);
    insertString(meta.get(), GSF_META_NAME_SUBJECT, p.subject);
    insertString(meta.get(), GSF_META_NAME_CREATOR, p.author);
    insertString(meta.get(), GSF_META_NAME_KEYWORDS, p.keywords);
    insertString(meta.get(), GSF_META_NAME_DESCRIPTION, p.comments);
    insertString(meta.get(), GSF_META_NAME_LAST_SAVED_BY, p.lastAuthor);
    insertString(meta.get(), GSF_META_NAME_GENERATOR, p.application);
    insertString(meta.get(), GSF_META_NAME_COMPANY, p.company);
    insertString(meta.get(), GSF_META_NAME_CATEGORY, p.category);
    insertString(meta.get(), GSF_META_NAME_MANAGER, p.manager);
    insertTime(meta.get(), GSF_META_NAME_DATE_CREATED, p.created);
    insertTime(meta.get(), GSF_META_NAME_DATE_MODIFIED, p.lastSaved);
    return meta;
}

void writeChild(GsfOutfile* outfile, const char* name, const QByteArray& data) {
    GPtr<GsfOutput> child(gsf().gsf_outfile_new_child(outfile, name, FALSE));
    if (!child)
        throw SpreadsheetError(QStringLiteral("Could not create the workbook's streams."));
    if (!data.isEmpty() && !gsf().gsf_output_write(child.get(), size_t(data.size()),
                                                   reinterpret_cast<const guint8*>(data.constData()))) {
        throw SpreadsheetError(QStringLiteral("Could not write the workbook's streams."));
    }
    if (!gsf().gsf_output_close(child.get()))
        throw SpreadsheetError(QStringLiteral("Could not write the workbook's streams."));
}

void writeProperties(GsfOutfile* outfile, const char* name, GsfDocMetaData* meta, bool documentSummary) {
    GPtr<GsfOutput> child(gsf().gsf_outfile_new_child(outfile, name, FALSE));
    if (!child ||
        !gsf().gsf_doc_meta_data_write_to_msole(meta, child.get(), documentSummary ? TRUE : FALSE) ||
        !gsf().gsf_output_close(child.get())) {
        throw SpreadsheetError(QStringLiteral("Could not write the workbook's document properties."));
    }
}

}  // namespace

// ---- reading ----

CompoundFileReader::CompoundFileReader(QByteArray bytes, QString origin)
    : bytes_(std::move(bytes)), origin_(std::move(origin)) {
    openInfile(bytes_, origin_);  // refuse anything that is not a compound file at once
}

CompoundFileReader CompoundFileReader::fromFile(const QString& path) {
    QFile file(path);
    if (!file.exists())
        throw SpreadsheetError(QStringLiteral("The file \"%1\" does not exist.").arg(path));
    if (!file.open(QIODevice::ReadOnly)) {
        throw SpreadsheetError(
            QStringLiteral("The file \"%1\" cannot be opened: %2").arg(path, file.errorString()));
    }
    if (file.size() > kMaxCompoundFileSize) {
        throw SpreadsheetError(QStringLiteral("The file \"%1\" is too large for a workbook.").arg(path));
    }
    QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        throw SpreadsheetError(
            QStringLiteral("The file \"%1\" cannot be read: %2").arg(path, file.errorString()));
    }
    return CompoundFileReader(std::move(bytes),
                              QStringLiteral("The file \"%1\"").arg(QFileInfo(path).fileName()));
}

CompoundFileReader CompoundFileReader::fromBytes(const QByteArray& bytes) {
    if (bytes.size() > kMaxCompoundFileSize)
        throw SpreadsheetError(QStringLiteral("The workbook data is too large."));
    return CompoundFileReader(bytes, QStringLiteral("The workbook data"));
}

QStringList CompoundFileReader::topLevelNames() const {
    auto infile = openInfile(bytes_, origin_);
    QStringList names;
    const int count = gsf().gsf_infile_num_children(infile.get());
    for (int i = 0; i < count; ++i) {
        if (const char* name = gsf().gsf_infile_name_by_index(infile.get(), i))
            names << QString::fromUtf8(name);
    }
    return names;
}

std::optional<QByteArray> CompoundFileReader::stream(const QString& name) const {
    auto infile = openInfile(bytes_, origin_);
    GPtr<GsfInput> child(gsf().gsf_infile_child_by_name(infile.get(), name.toUtf8().constData()));
    if (!child)
        return std::nullopt;
    // A stream cannot hold more than the file around it; a larger size means a damaged directory.
    return readWhole(child.get(), QStringLiteral("stream \"%1\"").arg(name), bytes_.size());
}

QByteArray CompoundFileReader::workbookStream() const {
    if (auto workbook = stream(QStringLiteral("Workbook")))
        return *workbook;
    if (auto book = stream(QStringLiteral("Book")))
        return *book;
    throw SpreadsheetError(QStringLiteral("%1 holds no workbook.").arg(origin_));
}

DocumentProperties CompoundFileReader::properties() const {
    DocumentProperties result;
    result.application.clear();
    auto infile = openInfile(bytes_, origin_);
    GPtr<GsfDocMetaData> meta(gsf().gsf_doc_meta_data_new());
    for (const char* name : {"\005SummaryInformation", "\005DocumentSummaryInformation"}) {
        GPtr<GsfInput> child(gsf().gsf_infile_child_by_name(infile.get(), name));
        if (!child || gsf().gsf_input_size(child.get()) > bytes_.size())
            continue;
        // Damaged property streams cost the properties, never the workbook.
        ErrorPtr error(gsf().gsf_doc_meta_data_read_from_msole(meta.get(), child.get()));
    }
    result.title = metaString(meta.get(), GSF_META_NAME_TITLE);
    result.subject = metaString(meta.get(), GSF_META_NAME_SUBJECT);
    result.author = metaString(meta.get(), GSF_META_NAME_CREATOR);
    result.keywords = metaString(meta.get(), GSF_META_NAME_KEYWORDS);
    result.comments = metaString(meta.get(), GSF_META_NAME_DESCRIPTION);
    result.lastAuthor = metaString(meta.get(), GSF_META_NAME_LAST_SAVED_BY);
    result.application = metaString(meta.get(), GSF_META_NAME_GENERATOR);
    result.company = metaString(meta.get(), GSF_META_NAME_COMPANY);
    result.category = metaString(meta.get(), GSF_META_NAME_CATEGORY);
    result.manager = metaString(meta.get(), GSF_META_NAME_MANAGER);
    result.created = metaTime(meta.get(), GSF_META_NAME_DATE_CREATED);
    result.lastSaved = metaTime(meta.get(), GSF_META_NAME_DATE_MODIFIED);
    return result;
}

// ---- writing ----

QByteArray compObjStream() {
    QByteArray out;
    appendU32(out, 0xFFFE0001u);  // header: reserved, version, reserved (-1 and the class id)
    appendU32(out, 0x00000A03u);
    appendU32(out, 0xFFFFFFFFu);
    out.append(reinterpret_cast<const char*>(kWorkbookClassId), sizeof kWorkbookClassId);
    appendAnsiString(out, "Microsoft Excel 97-2003 Worksheet");
    appendAnsiString(out, "Biff8");
    appendAnsiString(out, "Excel.Sheet.8");
    appendU32(out, 0x71B239F4u);  // Unicode marker; the three Unicode strings follow, empty
    appendU32(out, 0);
    appendU32(out, 0);
    appendU32(out, 0);
    return out;
}

QByteArray compoundFileBytes(const QByteArray& workbookStream, const DocumentProperties& properties) {
    GPtr<GsfOutput> sink(gsf().gsf_output_memory_new());
    {
        GPtr<GsfOutfile> outfile(gsf().gsf_outfile_msole_new(sink.get()));
        if (!outfile)
            throw SpreadsheetError(QStringLiteral("Could not create the workbook container."));
        gsf().gsf_outfile_msole_set_class_id(reinterpret_cast<GsfOutfileMSOle*>(outfile.get()),
                                             kWorkbookClassId);
        auto meta = metaDataOf(properties);
        writeChild(outfile.get(), "Workbook", workbookStream);
        writeProperties(outfile.get(), "\005SummaryInformation", meta.get(), false);
        writeProperties(outfile.get(), "\005DocumentSummaryInformation", meta.get(), true);
        writeChild(outfile.get(), "\001CompObj", compObjStream());
        if (!gsf().gsf_output_close(reinterpret_cast<GsfOutput*>(outfile.get()))) {
            throw SpreadsheetError(QStringLiteral("Could not finish the workbook container."));
        }
    }
    const gsf_off_t size = gsf().gsf_output_size(sink.get());
    const guint8* data = gsf().gsf_output_memory_get_bytes(reinterpret_cast<GsfOutputMemory*>(sink.get()));
    if (!data || size <= 0)
        throw SpreadsheetError(QStringLiteral("Could not finish the workbook container."));
    return QByteArray(reinterpret_cast<const char*>(data), qsizetype(size));
}

void writeCompoundFile(const QString& path, const QByteArray& workbookStream,
                       const DocumentProperties& properties) {
    const QByteArray bytes = compoundFileBytes(workbookStream, properties);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        throw SpreadsheetError(QStringLiteral("Cannot write \"%1\": %2").arg(path, file.errorString()));
    }
    if (file.write(bytes) != bytes.size() || !file.commit()) {
        const QString reason = file.errorString();
        file.cancelWriting();
        throw SpreadsheetError(QStringLiteral("Cannot write \"%1\": %2").arg(path, reason));
    }
}

}  // namespace spreadsheet
