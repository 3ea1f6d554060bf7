#pragma once

#include <QObject>

#include <functional>
#include <memory>

// One test executable per folder: each test class registers itself here and the
// folder's main runs them all (or those named on the command line with -class),
// each class in a process of its own when there are several.
namespace testsupport {

int registerTest(const char *name, std::function<std::unique_ptr<QObject>()> factory);
int runRegisteredTests(int argc, char **argv);

} // namespace testsupport

#define TALVORO_TEST(Class)                                                                                            \
    [[maybe_unused]] static const int talvoroRegistered##Class                                                         \
        = ::testsupport::registerTest(#Class, [] { return std::unique_ptr<QObject>(new Class); });
