#include "test_classes.h"

#include <sys/wait.h>
#include <unistd.h>
#include <QByteArray>
#include <QFileInfo>
#include <QList>
#include <QMetaMethod>
#include <QTest>
#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace testing {

namespace {

// Qt Test's options that take the next argument as their value.
const QList<QByteArray> kOptionsWithValue = {"-o",           "-eventdelay",  "-keydelay",     "-mousedelay",
                                             "-maxwarnings", "-perfcounter", "-minimumvalue", "-minimumtotal",
                                             "-iterations",  "-median",      "-platform",     "-seed",
                                             "-repeat"};

// Qt Test lists what was asked and ends the process after these: each class lists in a process of its own.
const QList<QByteArray> kListingOptions = {"-functions", "-datatags"};

// The functions Qt Test runs for a class: private slots without arguments, neither data functions nor
// the set-up and clean-up ones.
QList<QByteArray> testFunctions(const QMetaObject& meta) {
    static const QList<QByteArray> special = {"initTestCase", "initTestCase_data", "cleanupTestCase", "init",
                                              "cleanup"};
    QList<QByteArray> names;
    for (int i = meta.methodOffset(); i < meta.methodCount(); ++i) {
        const QMetaMethod method = meta.method(i);
        const QByteArray name = method.name();
        if (method.methodType() == QMetaMethod::Slot && method.access() == QMetaMethod::Private &&
            method.parameterCount() == 0 && !name.endsWith("_data") && !special.contains(name))
            names << name;
    }
    return names;
}

// "function", "function()" and "function:tag" all name the function.
QByteArray functionPart(const QByteArray& selector) {
    QByteArray name = selector.left(selector.indexOf(':') < 0 ? selector.size() : selector.indexOf(':'));
    if (name.endsWith("()"))
        name.chop(2);
    return name;
}

// With several classes writing to one named file, each would replace the one before: each class gets
// its own file, named after it ("out.xml" becomes "out-TestX.xml").
QByteArray outputFor(const QByteArray& value, const char* className) {
    const qsizetype comma = value.indexOf(',');
    const QByteArray file = comma < 0 ? value : value.left(comma);
    if (file == "-")
        return value;
    const QFileInfo info(QString::fromLocal8Bit(file));
    const QString suffix = info.suffix().isEmpty() ? QString() : u'.' + info.suffix();
    const QString path =
        info.path() + u'/' + info.completeBaseName() + u'-' + QLatin1String(className) + suffix;
    return path.toLocal8Bit() + (comma < 0 ? QByteArray() : value.mid(comma));
}

}  // namespace

int runTestClasses(int argc, char** argv, const std::vector<TestClass>& classes) {
    QList<QByteArray> options;
    QList<QByteArray> selectors;
    bool help = false;
    bool listing = false;
    for (int i = 1; i < argc; ++i) {
        const QByteArray argument(argv[i]);
        if (argument.size() > 1 && argument.startsWith('-')) {
            help = help || argument == "-help";
            listing = listing || kListingOptions.contains(argument);
            options << argument;
            if (kOptionsWithValue.contains(argument) && i + 1 < argc)
                options << QByteArray(argv[++i]);
        } else {
            selectors << argument;
        }
    }

    // What each class runs: every function (an empty list), or the ones named.
    std::vector<std::pair<const TestClass*, QList<QByteArray>>> runs;
    if (selectors.isEmpty()) {
        for (const TestClass& testClass : classes)
            runs.push_back({&testClass, {}});
    } else {
        std::vector<bool> whole(classes.size(), false);
        std::vector<QList<QByteArray>> named(classes.size());
        QList<QByteArray> unknown;
        for (const QByteArray& selector : selectors) {
            bool found = false;
            for (size_t c = 0; c < classes.size(); ++c) {
                const QMetaObject& meta = *classes[c].meta;
                if (selector == meta.className()) {
                    whole[c] = found = true;
                } else if (testFunctions(meta).contains(functionPart(selector))) {
                    named[c] << selector;
                    found = true;
                }
            }
            if (!found)
                unknown << selector;
        }
        if (!unknown.isEmpty()) {
            for (const QByteArray& name : unknown)
                std::fprintf(stderr, "Unknown test function or class: '%s'.\n", name.constData());
            std::fprintf(stderr, "Available test classes and functions:\n");
            for (const TestClass& testClass : classes) {
                std::fprintf(stderr, "%s\n", testClass.meta->className());
                for (const QByteArray& name : testFunctions(*testClass.meta))
                    std::fprintf(stderr, "    %s()\n", name.constData());
            }
            return 1;
        }
        for (size_t c = 0; c < classes.size(); ++c) {
            if (whole[c])
                runs.push_back({&classes[c], {}});
            else if (!named[c].isEmpty())
                runs.push_back({&classes[c], named[c]});
        }
    }
    if (help)
        runs.resize(std::min<size_t>(runs.size(), 1));  // Qt Test prints its help and ends the process

    int failures = 0;
    for (const auto& [testClass, functions] : runs) {
        QList<QByteArray> arguments{QByteArray(argv[0])};
        for (qsizetype i = 0; i < options.size(); ++i) {
            arguments << options[i];
            if (options[i] == "-o" && i + 1 < options.size() && runs.size() > 1)
                arguments << outputFor(options[++i], testClass->meta->className());
        }
        arguments << functions;
        std::vector<char*> pointers;
        for (QByteArray& argument : arguments)
            pointers.push_back(argument.data());
        pointers.push_back(nullptr);
        const std::unique_ptr<QObject> test = testClass->make();
        if (listing && !help) {
            std::fflush(stdout);
            std::fflush(stderr);
            const pid_t child = fork();
            if (child == 0)
                std::exit(QTest::qExec(test.get(), int(arguments.size()), pointers.data()));
            int status = 0;
            if (child < 0 || waitpid(child, &status, 0) != child || !WIFEXITED(status))
                return 1;
            failures += WEXITSTATUS(status);
        } else {
            failures += QTest::qExec(test.get(), int(arguments.size()), pointers.data());
        }
    }
    // An exit status is one byte: a sum past 255 could wrap to success.
    return std::min(failures, 127);
}

}  // namespace testing
