#include "testrunner.h"

#include <QApplication>
#include <QTest>

namespace vntest {

std::vector<TestClassEntry> &registeredTestClasses()
{
    static std::vector<TestClassEntry> classes;
    return classes;
}

} // namespace vntest

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    app.setAttribute(Qt::AA_Use96Dpi, true);
    const QByteArray only = qgetenv("VN_TEST_CLASS");
    int failures = 0;
    for (const auto &entry : vntest::registeredTestClasses()) {
        if (!only.isEmpty() && only != entry.name)
            continue;
        auto test = entry.create();
        failures += QTest::qExec(test.get(), argc, argv);
    }
    return failures == 0 ? 0 : 1;
}
