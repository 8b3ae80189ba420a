#pragma once

// One test executable per source folder: each test class registers itself here and the
// shared main runs them all. VN_TEST_CLASS=Name runs one class only (its functions can then
// be named on the command line as usual).

#include <QObject>

#include <functional>
#include <memory>
#include <vector>

namespace vntest {

struct TestClassEntry
{
    const char *name;
    std::function<std::unique_ptr<QObject>()> create;
};

std::vector<TestClassEntry> &registeredTestClasses();

struct TestClassRegistration
{
    TestClassRegistration(const char *name, std::function<std::unique_ptr<QObject>()> create)
    {
        registeredTestClasses().push_back({name, std::move(create)});
    }
};

} // namespace vntest

#define VN_REGISTER_TEST(Class)                                                                    \
    static const vntest::TestClassRegistration vnTestRegistration##Class(                          \
        #Class, [] { return std::unique_ptr<QObject>(new Class); });
