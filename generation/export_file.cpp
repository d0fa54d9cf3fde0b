#include "generation/export_file.h"

#include <QStringList>
#include <algorithm>

#include "shell/core/error_report.h"
#include "shell/core/interruption.h"

namespace generation {

namespace {

QString quoted(const QString& name) {
    return QLatin1Char('\'') + name + QLatin1Char('\'');
}

// "'a', 'b' and 'c'"
QString listed(const QStringList& names) {
    if (names.size() <= 1)
        return names.value(0);
    return names.mid(0, names.size() - 1).join(QStringLiteral(", ")) + QStringLiteral(" and ") + names.last();
}

}  // namespace

ExportFile::ExportFile(const shell::NativePath& path, shell::TargetFile::ReadOnlyFile readOnly)
    : target_(path, readOnly) {}

void ExportFile::fail(const QString& cause) const {
    throw shell::RuntimeError(QStringLiteral("Cannot write %1: %2").arg(quoted(shown()), cause));
}

template <typename Step>
void ExportFile::guarded(Step step) {
    try {
        step();
    } catch (const shell::FileError& error) {
        fail(error.cause());
    }
}

void ExportFile::open() {
    if (target_.name().isEmpty())
        throw shell::RuntimeError(QStringLiteral("No file name was given"));
    guarded([&] { target_.prepare(); });
}

void ExportFile::write(const QByteArray& bytes) {
    guarded([&] { target_.write(bytes); });
}

void ExportFile::commit() {
    guarded([&] {
        target_.commit();
        target_.finish();
    });
}

void writeExportFile(const shell::NativePath& path, const QByteArray& bytes) {
    ExportFile file(path);
    file.open();
    file.write(bytes);
    file.commit();
}

void commitAll(const std::vector<ExportFile*>& files) {
    std::vector<ExportFile*> order = files;
    std::stable_partition(order.begin(), order.end(),
                          [](const ExportFile* file) { return file->target_.canRollBack(); });
    size_t done = 0;
    QString failure;
    bool interrupted = false;
    const auto stopIfAsked = [&] {
        interrupted = shell::interruptingSignal() != 0;
        shell::throwIfInterrupted();
    };
    try {
        for (; done < order.size(); ++done) {
            stopIfAsked();
            order[done]->guarded([&] { order[done]->target_.commit(); });
        }
        // A signal that came while the last files took their names still takes them all back.
        stopIfAsked();
    } catch (const std::exception& error) {
        failure = shell::describe(error);
    }
    if (failure.isEmpty()) {
        for (ExportFile* file : order)
            file->target_.finish();
        return;
    }

    // What became of each file, in the order given.
    QStringList restored;
    QStringList untouched;
    QStringList lost;
    QStringList written;
    // Taken back last to first; told first to last.
    for (size_t i = done; i-- > 0;) {
        shell::TargetFile& target = order[i]->target_;
        if (!target.canRollBack()) {
            written.prepend(quoted(target.shown()));
            continue;
        }
        try {
            target.rollBack();
            (target.existed() ? restored : untouched).prepend(quoted(target.shown()));
        } catch (const shell::FileError& error) {
            lost.prepend(QStringLiteral("%1 (%2)").arg(quoted(target.shown()), error.cause()));
        }
    }
    // The file that failed is named by the failure itself.
    for (size_t i = interrupted ? done : done + 1; i < order.size(); ++i)
        untouched << quoted(order[i]->shown());
    QStringList fates;
    if (!restored.isEmpty())
        fates << listed(restored) + (restored.size() == 1 ? QStringLiteral(" has its old content again")
                                                          : QStringLiteral(" have their old content again"));
    if (!untouched.isEmpty())
        fates << listed(untouched) + QStringLiteral(" left as before");
    if (!lost.isEmpty())
        fates << QStringLiteral("could not put back ") + listed(lost);
    if (!written.isEmpty())
        fates << listed(written) + QStringLiteral(" already written");
    if (!fates.isEmpty())
        failure += QStringLiteral("; ") + fates.join(QStringLiteral("; "));
    throw shell::RuntimeError(failure);
}

}  // namespace generation
