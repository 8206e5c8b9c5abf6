// Start-up and idle memory of the real client: the time from starting the process to the
// login window drawn (no settings yet, as on a first start), and the resident memory of a
// client logged in to the local reference service with its news in, before any chat
// window has loaded the web engine. Both run the installed-style binary as a child, on the
// display the benchmark is given (tools/bench.sh gives it a virtual X server: offscreen
// hides the libraries a real display loads).

#include "util/Net.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr int kStartRuns = 10;

QProcessEnvironment ClientEnvironment(const QString& strHome) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    if (!env.contains("QT_QPA_PLATFORM")) {
        env.insert("QT_QPA_PLATFORM", "offscreen");
    }
    env.insert("QT_LOGGING_RULES", "vocalon.app=true");
    env.insert("XDG_CONFIG_HOME", strHome + "/config");
    env.insert("XDG_RUNTIME_DIR", strHome + "/run");
    // Chat and peers stay on loopback ports where nothing answers.
    env.insert("VOCALON_IRC_HOST", "127.0.0.1");
    env.insert("VOCALON_IRC_PORT", "1");
    env.insert("VOCALON_PEER_BIND", "127.0.0.1");
    env.insert("VOCALON_PEER_PORT", "39999");
    QDir().mkpath(strHome + "/run");
    QFile::setPermissions(strHome + "/run", QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return env;
}

// Runs until the child writes strText to its standard error; -1 ms when it never does.
double WaitForLine(QProcess& process, const QByteArray& strText, int nTimeoutMs) {
    QElapsedTimer timer;
    timer.start();
    QByteArray output;
    while (timer.elapsed() < nTimeoutMs) {
        process.waitForReadyRead(20);
        output += process.readAllStandardError();
        if (output.contains(strText)) {
            return static_cast<double>(timer.nsecsElapsed()) / 1e6;
        }
    }
    return -1;
}

void Stop(QProcess& process) {
    process.terminate();
    if (!process.waitForFinished(5000)) {
        process.kill();
        process.waitForFinished(5000);
    }
}

long ResidentKb(qint64 nPid) {
    QFile status(QString("/proc/%1/status").arg(nPid));
    if (!status.open(QIODevice::ReadOnly)) {
        return -1;
    }
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:")) {
            return line.mid(6).trimmed().split(' ').front().toLong();
        }
    }
    return -1;
}

double StartToLoginWindow() {
    std::vector<double> times;
    for (int i = 0; i < kStartRuns; ++i) {
        QTemporaryDir home;
        QProcess client;
        client.setProcessEnvironment(ClientEnvironment(home.path()));
        client.setWorkingDirectory(home.path());
        QElapsedTimer timer;
        timer.start();
        client.start(VOCALON_CLIENT_BIN, {});
        const double dShown = WaitForLine(client, "login window shown", 10000);
        const double dMs = static_cast<double>(timer.nsecsElapsed()) / 1e6;
        Stop(client);
        if (dShown < 0) {
            std::printf("start-up: the login window was not shown\n");
            return -1;
        }
        times.push_back(dMs);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

long IdleLoggedInKb() {
    QTemporaryDir home;
    QProcess service;
    service.start(VOCALON_SERVICE_BIN, {"--port", "0", "--db", home.path() + "/service.db"});
    if (!service.waitForReadyRead(10000)) {
        std::printf("idle memory: the reference service did not start\n");
        return -1;
    }
    const std::string strHost =
        QString(service.readLine()).trimmed().remove("listening on ").toStdString();
    std::string strBody;
    HttpGet("http://" + strHost +
                "/cgi-local/register2.pl?username=bench&password=bench-pw&email=b@example.org",
            strBody);
    std::string strCatalogue;
    HttpGet("http://" + strHost + "/feed_list/in_feeds.txt", strCatalogue);
    // The user reads the service's ordinary sources (those without a remark in brackets).
    std::string strChosen;
    for (const QString& strLine : QString::fromStdString(strCatalogue).split('\n')) {
        if (!strLine.isEmpty() && !strLine.contains('(')) {
            strChosen += strLine.section("<!!div!!>", 0, 0).toStdString() + "\r\n";
        }
    }
    QFile chosen(home.path() + "/bench_out_feeds.txt");
    chosen.open(QIODevice::WriteOnly);
    chosen.write(strChosen.data(), static_cast<qint64>(strChosen.size()));
    chosen.close();
    QDir().mkpath(home.path() + "/config/Talvex");
    QFile settings(home.path() + "/config/Talvex/vocalon.ini");
    settings.open(QIODevice::WriteOnly);
    settings.write(QString("[Prefs]\nAppDir=%1\nusername=bench\npassword=bench-pw\nautologin=1\n")
                       .arg(home.path())
                       .toUtf8());
    settings.close();

    QProcess client;
    QProcessEnvironment env = ClientEnvironment(home.path());
    env.insert("VOCALON_SERVICE_HOST", QString::fromStdString(strHost));
    client.setProcessEnvironment(env);
    client.setWorkingDirectory(home.path());
    client.start(VOCALON_CLIENT_BIN, {});
    long nKb = -1;
    if (WaitForLine(client, "news: check done", 60000) < 0) {
        std::printf("idle memory: the news never arrived\n");
    } else {
        // Let the first check's buffers settle before reading.
        QThread::msleep(2000);
        nKb = ResidentKb(client.processId());
    }
    Stop(client);
    Stop(service);
    return nKb;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    InitHttp();
    const double dStartMs = StartToLoginWindow();
    const long nIdleKb = IdleLoggedInKb();
    std::printf("start to login window shown: %.0f ms, median of %d (target < 300)\n", dStartMs,
                kStartRuns);
    std::printf(
        "idle logged-in client, news in, no chat window: %.1f MiB resident on %s "
        "(target < 45)\n",
        static_cast<double>(nIdleKb) / 1024.0,
        qPrintable(qEnvironmentVariable("QT_QPA_PLATFORM", "offscreen")));
    std::printf("summary | start to login window | %.0f ms | target < 300 ms\n", dStartMs);
    std::printf("summary | idle logged-in memory | %.1f MiB | target < 45 MiB\n",
                static_cast<double>(nIdleKb) / 1024.0);
    return dStartMs < 0 || nIdleKb < 0 ? 1 : 0;
}
