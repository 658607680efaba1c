// The command line of kr35-download.
#include <QtTest>
#include <string>
#include <vector>

#include "app/download_options.h"

namespace kr35 {

using Arguments = std::vector<std::string>;

class DownloadOptionsTest : public QObject {
  Q_OBJECT

 private slots:
  void parsesSwitchesAndTheParameter_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<bool>("simulate");
    QTest::addColumn<QString>("scenario");
    QTest::addColumn<QString>("parameter");
    QTest::addColumn<QString>("error");
    QTest::newRow("nothing") << QStringList{} << false << ""
                             << ""
                             << "";
    QTest::newRow("simulate") << QStringList{"--simulate"} << true << ""
                              << ""
                              << "";
    QTest::newRow("scenario") << QStringList{"--simulate=faults.json", "saveasresfile"} << true
                              << "faults.json"
                              << "saveasresfile"
                              << "";
    QTest::newRow("switches before the parameter")
        << QStringList{"/x", "--simulate", "--sim-state=s.json", "full", "second"} << true << ""
        << "full"
        << "";
    // A value given as the next argument is not ours: it becomes the parameter.
    QTest::newRow("trace without value") << QStringList{"--sim-trace", "t.jsonl"} << false << ""
                                         << "t.jsonl"
                                         << "--sim-trace needs a file: --sim-trace=FILE";
    QTest::newRow("similar prefix is unknown") << QStringList{"--simulated"} << false << ""
                                               << ""
                                               << "";
  }

  void parsesSwitchesAndTheParameter() {
    QFETCH(QStringList, arguments);
    QFETCH(bool, simulate);
    QFETCH(QString, scenario);
    QFETCH(QString, parameter);
    QFETCH(QString, error);
    Arguments args;
    for (const QString& a : arguments) args.push_back(a.toStdString());
    const DownloadOptions options = ParseDownloadOptions(args);
    QCOMPARE(options.simulate, simulate);
    QCOMPARE(QString::fromStdString(options.scenarioPath), scenario);
    QCOMPARE(QString::fromStdString(options.parameter), parameter);
    QCOMPARE(QString::fromStdString(options.error), error);
  }

  void collectsPathsAndUnknownSwitches() {
    const DownloadOptions options = ParseDownloadOptions(
        {"--sim-trace=t.jsonl", "--sim-state=s.json", "--help", "--version", "-q", "/Q"});
    QCOMPARE(options.tracePath, std::string("t.jsonl"));
    QCOMPARE(options.statePath, std::string("s.json"));
    QVERIFY(options.help && options.version);
    QCOMPARE(options.ignoredSwitches, (Arguments{"-q", "/Q"}));
  }
};

}  // namespace kr35

QTEST_APPLESS_MAIN(kr35::DownloadOptionsTest)
#include "download_options_test.moc"
