#include "TestMain.h"
#include "platform/Module.h"

class TestModule : public QObject
{
    Q_OBJECT
private slots:
    void loadsTheEntryOrSaysWhyNot();
};

void TestModule::loadsTheEntryOrSaysWhyNot()
{
    // Test programs live one folder below the modules, as in the build tree.
    qunsetenv("LUMETRA_MODULE_DIR");
    QString error;
    auto entry
        = reinterpret_cast<int (*)()>(ModuleEntry(QStringLiteral("testmodule"), "lumetraTestEntry", &error));
    QVERIFY2(entry, qPrintable(error));
    QCOMPARE(entry(), 42);

    QVERIFY(!ModuleEntry(QStringLiteral("testmodule"), "noSuchEntry", &error));
    QVERIFY2(error.contains(QLatin1String("noSuchEntry")), qPrintable(error));
    QVERIFY(!ModuleEntry(QStringLiteral("nosuchmodule"), "lumetraTestEntry", &error));
    QCOMPARE(error, QStringLiteral("liblumetra-nosuchmodule.so was not found"));

    // A folder named in the environment is the only one looked in.
    qputenv("LUMETRA_MODULE_DIR", "/nonexistent");
    QVERIFY(!ModuleEntry(QStringLiteral("testmodule"), "lumetraTestEntry", &error));
    qunsetenv("LUMETRA_MODULE_DIR");
}

LUMETRA_OFFSCREEN_TEST_MAIN(TestModule)
#include "tst_module.moc"
