#pragma once

// A private PostgreSQL cluster for tests and benchmarks: initdb into a temporary directory,
// the server listening only on a Unix socket in that directory, the superuser "vocalon"
// admitted without a password, and nothing synced to disk. PostgreSQL refuses to run as
// root, so as root the cluster runs as the user nobody. Destruction stops the server
// (within a few seconds, killing it if need be) and removes the directory; the server also
// dies with the thread that started it.

#include <sys/types.h>

#include <string>
#include <vector>

class CPgCluster final {
public:
    // The directory of the installed server binaries (initdb, postgres, createdb), the
    // newest version's; empty when there is none.
    static std::string BinDir();

    CPgCluster();
    ~CPgCluster();
    CPgCluster(const CPgCluster&) = delete;
    CPgCluster& operator=(const CPgCluster&) = delete;

    // Creates the cluster (the first time) and starts the server. False with Error()
    // telling why.
    bool Start();
    // Stops the server; true when it shut down by itself. Start() starts it again.
    bool Stop();
    bool CreateDatabase(const std::string& strName);
    // The libpq connection string of a database of this cluster.
    std::string ConnInfo(const std::string& strDatabase) const;
    const std::string& Error() const { return m_strError; }

private:
    // Runs a server binary as the cluster's user to its end; its output goes to the log.
    bool RunTool(const std::vector<std::string>& arrArgs);
    // Forks the binary as the cluster's user; -1 on failure.
    pid_t Spawn(const std::vector<std::string>& arrArgs);
    std::string LogText() const;

    std::string m_strBinDir;
    std::string m_strDir;
    std::string m_strError;
    uid_t m_uid;
    gid_t m_gid;
    pid_t m_pidServer = -1;
};
