#pragma once

// The main routine of a test executable that holds several Qt Test classes. Qt Test's own command line
// belongs to one class: a function name that another class lacks makes that class fail with "Unknown test
// function". Here every class receives the options, and only the function names it has:
//
//   tst_x                     every class, every function
//   tst_x someFunction[:tag]  the classes that have someFunction, that function only
//   tst_x TestSomeClass       that class, every function
//   tst_x -functions          every class lists its functions (any Qt Test option goes to every class)
//
// A name that is neither a class nor a function of one is reported with what there is, and fails.

#include <QMetaObject>
#include <QObject>
#include <functional>
#include <memory>
#include <vector>

namespace testing {

// A test class of the executable, made only when it runs.
struct TestClass {
    const QMetaObject* meta = nullptr;
    std::function<std::unique_ptr<QObject>()> make;
};

template <class T>
TestClass testClass() {
    return {&T::staticMetaObject, [] { return std::make_unique<T>(); }};
}

// Runs the classes the command line selects, in the order given, after the application is made. The
// result is the exit status: the number of failed functions (at most 127), or 1 for an unknown name.
int runTestClasses(int argc, char** argv, const std::vector<TestClass>& classes);

}  // namespace testing
