// Every program answers --help and --version on standard output with status 0, and refuses
// an option it does not know in Portuguese, with a non-zero status, before doing anything.
#include <gtest/gtest.h>

#include <QDir>
#include <QProcess>
#include <QProcessEnvironment>

namespace {

struct ProgramRun {
    int exitCode = -1;
    QString out, err;
};

ProgramRun RunProgram(const QString& program, const QStringList& args,
                      const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment()) {
    QProcess process;
    process.setProcessEnvironment(env);
    process.start(QDir(KRV_BIN_DIR).filePath(program), args);
    if (!process.waitForFinished(20000)) process.kill();
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromUtf8(process.readAllStandardOutput()), QString::fromUtf8(process.readAllStandardError())};
}

}  // namespace

TEST(ProgramOptions, HelpVersionAndUnknownOptionsAlike) {
    const struct {
        QString program;
        QString anOption;  // one option its help must list
    } programs[] = {
        {"krv-server", "--token-file"},
        {"krv-call", "--server"},
        {"krv-report", "--operador"},
        {"krv-host", "--operador"},
    };
    for (const auto& p : programs) {
        const std::string name = p.program.toStdString();
        const ProgramRun help = RunProgram(p.program, {"--help"});
        EXPECT_EQ(help.exitCode, 0) << name << help.err.toStdString();
        EXPECT_TRUE(help.out.contains(QString::fromUtf8("Uso:"))) << name << help.out.toStdString();
        EXPECT_TRUE(help.out.contains(p.anOption)) << name;
        EXPECT_TRUE(help.out.contains("--version")) << name;

        const ProgramRun version = RunProgram(p.program, {"--version"});
        EXPECT_EQ(version.exitCode, 0) << name;
        EXPECT_EQ(version.out, p.program + " " + KRV_VERSION + "\n") << name;

        const ProgramRun unknown = RunProgram(p.program, {"--porta", "1"});
        EXPECT_NE(unknown.exitCode, 0) << name;
        EXPECT_TRUE(unknown.err.contains(QString::fromUtf8("Opção desconhecida")) && unknown.err.contains("porta"))
            << name << unknown.err.toStdString();
        EXPECT_TRUE(unknown.out.isEmpty()) << name;
    }
}

// A terminal without a display: the host still answers, in Portuguese, before it needs one.
TEST(ProgramOptions, TheHostAnswersWithoutADisplay) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"}) env.remove(name);
    const ProgramRun help = RunProgram("krv-host", {"--help"}, env);
    EXPECT_EQ(help.exitCode, 0) << help.err.toStdString();
    EXPECT_TRUE(help.out.contains(QString::fromUtf8("Uso:"))) << help.out.toStdString();
    const ProgramRun unknown = RunProgram("krv-host", {"--porta", "1"}, env);
    EXPECT_EQ(unknown.exitCode, 64);
    EXPECT_TRUE(unknown.err.contains(QString::fromUtf8("Opção desconhecida"))) << unknown.err.toStdString();
}
