#include "bench/process_timing.h"

#include <fontconfig/fontconfig.h>
#include <poll.h>
#include <xcb/xcb.h>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSettings>
#include <QStringList>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <vector>

#include "entry/sample_data.h"
#include "shell/core/locale_amount.h"
#include "shell/core/product.h"
#include "shell/core/settings_keys.h"
#include "shell/core/settings_store.h"

namespace bench {

namespace {

constexpr int kMapTimeoutMs = 30000;

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n == 0 ? 0.0 : n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// Watches the X server for top-level windows being mapped: with no window manager a program's windows
// are children of the root window, so their mapping is a substructure event of the root.
class MapWatcher {
public:
    MapWatcher() : connection_(xcb_connect(nullptr, nullptr)) {
        if (xcb_connection_has_error(connection_))
            return;
        const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data;
        const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
        xcb_change_window_attributes(connection_, screen->root, XCB_CW_EVENT_MASK, &mask);
        xcb_flush(connection_);
        ok_ = true;
    }
    ~MapWatcher() { xcb_disconnect(connection_); }
    MapWatcher(const MapWatcher&) = delete;
    MapWatcher& operator=(const MapWatcher&) = delete;

    bool ok() const { return ok_; }

    void drain() {
        while (xcb_generic_event_t* event = xcb_poll_for_event(connection_))
            std::free(event);
    }

    // Waits for the next window to be mapped; false on timeout.
    bool waitForMap(int timeoutMs) {
        QElapsedTimer timer;
        timer.start();
        pollfd descriptor{xcb_get_file_descriptor(connection_), POLLIN, 0};
        while (timer.elapsed() < timeoutMs) {
            while (xcb_generic_event_t* event = xcb_poll_for_event(connection_)) {
                const bool mapped = (event->response_type & ~0x80) == XCB_MAP_NOTIFY;
                std::free(event);
                if (mapped)
                    return true;
            }
            ::poll(&descriptor, 1, static_cast<int>(timeoutMs - timer.elapsed()));
        }
        return false;
    }

private:
    xcb_connection_t* connection_;
    bool ok_ = false;
};

// A settings store in its own configuration folder holding every field of the sample statement, in the
// form a settled store has after a start (amounts in currency form, the date in the store's form).
void writeSettledStore(const QString& configHome) {
    const QLocale locale(QLocale::English, QLocale::UnitedStates);
    const auto record = entry::sample::sampleStatement(QDate(2021, 3, 5));
    QSettings store(configHome + QLatin1Char('/') + shell::product::kOrganisation + QLatin1Char('/') +
                        shell::product::kOrganisation + QStringLiteral(".conf"),
                    QSettings::IniFormat);
    store.beginGroup(shell::SettingsStore::kSection);
    namespace keys = shell::keys;
    const auto amount = [&](const QString& text) {
        return shell::currencyText(*shell::parseAmount(text), locale);
    };
    store.setValue(keys::name(), record.name);
    store.setValue(keys::date(), shell::dateToStoreText(record.date, locale));
    for (int i = 0; i < shell::kAssetLines; ++i) {
        store.setValue(keys::assetDescription(i), record.assetDescriptions[std::size_t(i)]);
        store.setValue(keys::assetAmount(i), amount(record.assetAmounts[std::size_t(i)]));
    }
    for (int i = 0; i < shell::kLiabilityLines; ++i) {
        store.setValue(keys::liabilityDescription(i), record.liabilityDescriptions[std::size_t(i)]);
        store.setValue(keys::liabilityAmount(i), amount(record.liabilityAmounts[std::size_t(i)]));
    }
}

// Milliseconds from starting the program to its first window mapped; negative when it never maps.
double timeToMap(MapWatcher& watcher, const QString& program, const QProcessEnvironment& environment) {
    watcher.drain();
    QProcess process;
    process.setProcessEnvironment(environment);
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QElapsedTimer timer;
    timer.start();
    process.start(program, {});
    const bool mapped = watcher.waitForMap(kMapTimeoutMs);
    const double elapsed = static_cast<double>(timer.nsecsElapsed()) / 1e6;
    process.kill();
    process.waitForFinished();
    return mapped ? elapsed : -1.0;
}

// What a window with text pays before it is mapped depends on the machine: fontconfig and Qt read every
// installed font's description, and Qt's accessibility bridge connects to the session bus (or, without
// one, tries to start one).
void printConditions(const QProcessEnvironment& environment) {
    int fonts = 0;
    if (FcInit()) {
        if (const FcFontSet* set = FcConfigGetFonts(nullptr, FcSetSystem))
            fonts = set->nfont;
    }
    const bool sessionBus = !environment.value(QStringLiteral("DBUS_SESSION_BUS_ADDRESS")).isEmpty();
    std::printf("conditions: %d fonts installed, %s\n", fonts,
                sessionBus ? "a session bus" : "no session bus");
}

QString besideBenchmark(const char* name) {
    return QCoreApplication::applicationDirPath() + QLatin1Char('/') + QLatin1String(name);
}

}  // namespace

int timeStartUp(int rounds, const QStringList& others) {
    if (qEnvironmentVariableIsEmpty("DISPLAY")) {
        std::fprintf(stderr, "quillberry-bench: --startup needs an X display (see bench/startup.sh)\n");
        return 1;
    }
    MapWatcher watcher;
    if (!watcher.ok()) {
        std::fprintf(stderr, "quillberry-bench: cannot connect to the X display\n");
        return 1;
    }
    QTemporaryDir home;
    const QString config = home.filePath(QStringLiteral("config"));
    writeSettledStore(config);
    const QString storeFile = config + QLatin1Char('/') + shell::product::kOrganisation + QLatin1Char('/') +
                              shell::product::kOrganisation + QStringLiteral(".conf");
    const QByteArray settled = [&] {
        QFile file(storeFile);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }();
    QDir().mkpath(home.filePath(QStringLiteral("temp")));
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), config);
    environment.insert(QStringLiteral("TEMP"), home.filePath(QStringLiteral("temp")));
    environment.insert(QStringLiteral("LANG"), QStringLiteral("en_US.UTF-8"));
    environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("en_US.UTF-8"));

    // Quillberry, the two floors, then the other builds; each round starts one place further along, so
    // that no program always follows the same one.
    QStringList programs{QStringLiteral(QB_PROGRAM_PATH), besideBenchmark("quillberry-bare-window"),
                         besideBenchmark("quillberry-bare-label-window")};
    programs += others;
    // One start of each first, so that none pays for a cold file cache in the figures.
    for (const QString& program : programs)
        timeToMap(watcher, program, environment);
    std::vector<std::vector<double>> times(size_t(programs.size()));
    for (int round = 0; round < rounds; ++round) {
        for (qsizetype i = 0; i < programs.size(); ++i) {
            const qsizetype which = (round + i) % programs.size();
            const double elapsed = timeToMap(watcher, programs[which], environment);
            if (elapsed < 0) {
                std::fprintf(stderr, "quillberry-bench: %s was not mapped within %d ms\n",
                             qPrintable(programs[which]), kMapTimeoutMs);
                return 1;
            }
            times[size_t(which)].push_back(elapsed);
        }
    }
    QFile after(storeFile);
    if (!after.open(QIODevice::ReadOnly) || after.readAll() != settled)
        std::printf("note: a program rewrote the settled store; the figures include that\n");
    std::vector<double> medians;
    for (const auto& each : times)
        medians.push_back(median(each));
    const double mProgram = medians[0];
    const double mFloor = medians[1];
    const double mTextFloor = medians[2];
    printConditions(environment);
    std::printf("start-up to main window mapped, %d rounds each (ms):\n", rounds);
    std::printf("  %-34s %10.1f\n", "quillberry (settled store)", mProgram);
    std::printf("  %-34s %10.1f\n", "bare Qt window, same size", mFloor);
    std::printf("  %-34s %10.2f\n", "ratio", mFloor > 0 ? mProgram / mFloor : 0.0);
    std::printf("  %-34s %10.1f\n", "same window with one label", mTextFloor);
    std::printf("  %-34s %10.2f\n", "ratio to the labelled window",
                mTextFloor > 0 ? mProgram / mTextFloor : 0.0);
    // A difference between two builds is read within each round, where the machine's load is about the
    // same for both: the median of those differences, with the quartiles around it.
    for (qsizetype i = 3; i < programs.size(); ++i) {
        std::vector<double> differences;
        for (int round = 0; round < rounds; ++round)
            differences.push_back(times[size_t(i)][size_t(round)] - times[0][size_t(round)]);
        std::sort(differences.begin(), differences.end());
        const auto quartile = [&](int q) { return differences[differences.size() * size_t(q) / 4]; };
        std::printf(
            "  %-34s %10.1f  %+6.1f to quillberry within a round (quartiles %+.1f, %+.1f), ratio to the "
            "labelled window %.2f\n",
            qPrintable(programs[i].section(QLatin1Char('/'), -2)), medians[size_t(i)], median(differences),
            quartile(1), quartile(3), mTextFloor > 0 ? medians[size_t(i)] / mTextFloor : 0.0);
    }
    return 0;
}

int timeJobProcess(int rounds) {
    QTemporaryDir dir;
    const QString bench = QCoreApplication::applicationFilePath();
    const QString templatePath = dir.filePath(QStringLiteral("template.xlt"));
    if (QProcess::execute(bench, {QStringLiteral("--template"), templatePath}) != 0)
        return 1;
    std::vector<double> times;
    for (int round = 0; round < rounds; ++round) {
        QElapsedTimer timer;
        timer.start();
        const int exit = QProcess::execute(
            bench, {QStringLiteral("--job"), templatePath, dir.filePath(QStringLiteral("vornik12345678.xls")),
                    QStringLiteral("--picture"), dir.filePath(QStringLiteral("temp.bmp"))});
        if (exit != 0)
            return 1;
        times.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
    }
    std::printf("whole job as a process (--job with --picture), %d rounds (ms):\n", rounds);
    std::printf("  %-34s %10.1f\n", "median", median(times));
    return 0;
}

int timeExportProcess(int rounds) {
    QTemporaryDir home;
    const QString config = home.filePath(QStringLiteral("config"));
    writeSettledStore(config);
    QDir().mkpath(home.filePath(QStringLiteral("temp")));
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        environment.remove(QString::fromLatin1(name));
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), config);
    environment.insert(QStringLiteral("TEMP"), home.filePath(QStringLiteral("temp")));
    environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("en_US.UTF-8"));
    const QString pdf = home.filePath(QStringLiteral("statement.pdf"));
    std::vector<double> times;
    for (int round = 0; round <= rounds; ++round) {
        QProcess process;
        process.setProcessEnvironment(environment);
        process.setProcessChannelMode(QProcess::ForwardedChannels);
        QElapsedTimer timer;
        timer.start();
        process.start(QStringLiteral(QB_PROGRAM_PATH), {QStringLiteral("--export-pdf"), pdf});
        if (!process.waitForFinished(-1) || process.exitCode() != 0) {
            std::fprintf(stderr, "quillberry-bench: quillberry --export-pdf failed\n");
            return 1;
        }
        // The first round warms the file cache and is not counted.
        if (round > 0)
            times.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
    }
    std::printf("quillberry --export-pdf as a process, no display, %d rounds (ms):\n", rounds);
    std::printf("  %-34s %10.1f\n", "median", median(times));
    return 0;
}

}  // namespace bench
