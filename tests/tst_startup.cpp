// SPDX-FileCopyrightText: 2026 The Velmaris developers
// SPDX-License-Identifier: GPL-2.0-or-later
#include <QCoreApplication>
#include <QDataStream>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

// Runs the real program on an X server of its own, as a user would start
// it, and answers its error box from the keyboard; and without a display.
class TestStartup : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void failsWithoutHelpPage();
    void withoutDisplay_data();
    void withoutDisplay();

private:
    /// Window ids of the mapped windows whose title matches the pattern.
    QStringList visibleWindows(const QString &titlePattern);
    bool runTool(const QStringList &arguments, QByteArray *output = nullptr);

    QString m_xvfb;
    QString m_xdotool;
    QProcess m_server;
    QString m_display;
    QTemporaryDir m_authDir;
    QString m_authFile;
};

void TestStartup::initTestCase()
{
    m_xvfb = QStandardPaths::findExecutable(QStringLiteral("Xvfb"));
    m_xdotool = QStandardPaths::findExecutable(QStringLiteral("xdotool"));
    if (m_xvfb.isEmpty() || m_xdotool.isEmpty())
        QSKIP("Xvfb and xdotool are needed to run the program on a display of its own");
    QVERIFY2(QFileInfo(QStringLiteral(VELMARIS_BINARY)).isExecutable(),
             "the program must be built before this test: " VELMARIS_BINARY);

    // The server picks a free display number itself and writes it on its
    // standard output. It lets in only the clients that know the cookie of
    // the authority file, whatever the number: a wildcard entry.
    QVERIFY(m_authDir.isValid());
    m_authFile = m_authDir.filePath(QStringLiteral("Xauthority"));
    QFile auth(m_authFile);
    QVERIFY(auth.open(QIODevice::WriteOnly));
    QByteArray cookie(16, Qt::Uninitialized);
    QRandomGenerator::system()->fillRange(reinterpret_cast<quint32 *>(cookie.data()), 4);
    // Family, address, display number, name, data: 16-bit big-endian
    // lengths before each text.
    QDataStream entry(&auth);
    entry << quint16(0xFFFF) << quint16(0) << quint16(0);
    for (const QByteArray &field : {QByteArray("MIT-MAGIC-COOKIE-1"), cookie}) {
        entry << quint16(field.size());
        entry.writeRawData(field.constData(), int(field.size()));
    }
    auth.close();

    m_server.setReadChannel(QProcess::StandardOutput);
    m_server.start(m_xvfb, {QStringLiteral("-displayfd"), QStringLiteral("1"),
                            QStringLiteral("-auth"), m_authFile, QStringLiteral("-nolisten"),
                            QStringLiteral("tcp"), QStringLiteral("-screen"), QStringLiteral("0"),
                            QStringLiteral("1024x768x24"),
                            // No reset when a client leaves: the program
                            // connects right after xdotool has left.
                            QStringLiteral("-noreset")});
    if (!m_server.waitForStarted(5000))
        QSKIP("Xvfb could not be started");
    QElapsedTimer waited;
    waited.start();
    while (!m_server.canReadLine() && m_server.state() == QProcess::Running
           && waited.elapsed() < 15000)
        m_server.waitForReadyRead(100);
    const QByteArray number = m_server.readLine().trimmed();
    QVERIFY2(!number.isEmpty(), "the X server did not start");
    m_display = QLatin1Char(':') + QString::fromLatin1(number);
    QVERIFY2(runTool({QStringLiteral("getdisplaygeometry")}), "the X server does not answer");
}

void TestStartup::cleanupTestCase()
{
    if (m_server.state() != QProcess::NotRunning) {
        m_server.terminate();
        if (!m_server.waitForFinished(5000)) {
            m_server.kill();
            m_server.waitForFinished(5000);
        }
    }
}

bool TestStartup::runTool(const QStringList &arguments, QByteArray *output)
{
    QProcess tool;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DISPLAY"), m_display);
    environment.insert(QStringLiteral("XAUTHORITY"), m_authFile);
    tool.setProcessEnvironment(environment);
    tool.start(m_xdotool, arguments);
    if (!tool.waitForFinished(5000)) {
        tool.kill();
        tool.waitForFinished(1000);
        return false;
    }
    if (output)
        *output = tool.readAllStandardOutput();
    return tool.exitStatus() == QProcess::NormalExit && tool.exitCode() == 0;
}

QStringList TestStartup::visibleWindows(const QString &titlePattern)
{
    QByteArray output;
    runTool({QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--name"),
             titlePattern},
            &output);
    return QString::fromLatin1(output).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

void TestStartup::failsWithoutHelpPage()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    // The licence is there; only the help page is missing.
    QVERIFY(QFile::copy(QStringLiteral(VELMARIS_DATA_DIR "/gpl_en.html"),
                        dir.filePath(QStringLiteral("gpl_en.html"))));

    QProcess program;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DISPLAY"), m_display);
    environment.insert(QStringLiteral("XAUTHORITY"), m_authFile);
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
    program.setProcessEnvironment(environment);
    program.setWorkingDirectory(dir.path());
    program.start(QStringLiteral(VELMARIS_BINARY), QStringList());
    QVERIFY(program.waitForStarted(10000));
    auto stop = qScopeGuard([&program] {
        if (program.state() != QProcess::NotRunning) {
            program.kill();
            program.waitForFinished(5000);
        }
    });

    const QString mainTitle = QStringLiteral("^Velmaris$");
    const QString boxTitle = QStringLiteral("^Erreur d'application$");
    bool mainMapped = false;
    QString box;
    QElapsedTimer waited;
    waited.start();
    while (box.isEmpty() && program.state() == QProcess::Running && waited.elapsed() < 30000) {
        mainMapped = mainMapped || !visibleWindows(mainTitle).isEmpty();
        const QStringList boxes = visibleWindows(boxTitle);
        if (!boxes.isEmpty())
            box = boxes.first();
        else
            QTest::qWait(100);
    }
    if (box.isEmpty()) {
        const QString state = program.state() == QProcess::Running
                                  ? QStringLiteral("still runs")
                                  : QStringLiteral("ended with %1").arg(program.exitCode());
        QFAIL(qPrintable(QStringLiteral("the error box did not appear; the program %1: %2")
                             .arg(state, QString::fromLocal8Bit(program.readAllStandardError()))));
    }
    mainMapped = mainMapped || !visibleWindows(mainTitle).isEmpty();

    // Enter, as a user would; the box has OK as its only button. xdotool
    // may report a failure when the box is gone before the key's release
    // reaches it, so only the program's end counts.
    runTool({QStringLiteral("key"), QStringLiteral("--window"), box, QStringLiteral("Return")});
    if (!program.waitForFinished(5000)) {
        // Some servers drop synthetic key events: give the box the focus and
        // type the key for real.
        runTool({QStringLiteral("windowfocus"), QStringLiteral("--sync"), box});
        runTool({QStringLiteral("key"), QStringLiteral("Return")});
        QVERIFY2(program.waitForFinished(10000), "the error box did not close on Enter");
    }
    QVERIFY2(!mainMapped, "the main window was shown");

    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.exitCode(), 1);
    const QString errorOutput = QString::fromUtf8(program.readAllStandardError());
    const QString path = QFileInfo(dir.path()).canonicalFilePath() + QStringLiteral("/aide.html");
    const QRegularExpression fatalText(
        QStringLiteral("^Exception LayoutReadError dans le module velmaris dans [0-9A-F]{8}\\.\r\n"
                       "Erreur lors de la lecture de TextViewer1\\.FileName: "
                       "Impossible d'ouvrir le fichier \"%1\"\\. No such file or directory\\.\r\n")
            .arg(QRegularExpression::escape(path)),
        QRegularExpression::MultilineOption);
    QVERIFY2(fatalText.match(errorOutput).hasMatch(), qPrintable(errorOutput));
}

void TestStartup::withoutDisplay_data()
{
    QTest::addColumn<QStringList>("environment");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("reason");
    int number = 7000; // an X display without a server
    while (QFileInfo::exists(QStringLiteral("/tmp/.X11-unix/X%1").arg(number)))
        ++number;
    const QString unset =
        QStringLiteral("ni la variable DISPLAY ni la variable WAYLAND_DISPLAY n'est définie");
    const QString silent =
        QStringLiteral("l'affichage désigné par DISPLAY ou WAYLAND_DISPLAY ne répond pas");
    QTest::newRow("none") << QStringList() << QStringList() << unset;
    QTest::newRow("X display without a server")
        << QStringList{QStringLiteral("DISPLAY=:%1").arg(number)} << QStringList() << silent;
    QTest::newRow("Wayland socket gone")
        << QStringList{QStringLiteral("WAYLAND_DISPLAY=gone"),
                       QStringLiteral("QT_QPA_PLATFORM=wayland")}
        << QStringList() << silent;
    // Qt would start on its offscreen platform, were the option passed on.
    QTest::newRow("Qt's -platform option")
        << QStringList() << QStringList{QStringLiteral("-platform"), QStringLiteral("offscreen")}
        << unset;
}

void TestStartup::withoutDisplay()
{
    QFETCH(QStringList, environment);
    QFETCH(QStringList, arguments);
    QFETCH(QString, reason);
    QTemporaryDir dir;
    QProcess program;
    QProcessEnvironment variables = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        variables.remove(QString::fromLatin1(name));
    variables.insert(QStringLiteral("XDG_RUNTIME_DIR"), dir.path());
    for (const QString &variable : environment)
        variables.insert(variable.section(QLatin1Char('='), 0, 0),
                         variable.section(QLatin1Char('='), 1));
    program.setProcessEnvironment(variables);
    program.setWorkingDirectory(dir.path());
    program.start(QStringLiteral(VELMARIS_BINARY), arguments);
    const bool ended = program.waitForFinished(20000);
    if (!ended)
        program.kill();
    QVERIFY2(ended, "the program did not end");
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.exitCode(), 2);
    QCOMPARE(QString::fromUtf8(program.readAllStandardError()),
             QStringLiteral("velmaris : aucun affichage graphique, car %1.\n").arg(reason));
}

QTEST_GUILESS_MAIN(TestStartup)
#include "tst_startup.moc"
