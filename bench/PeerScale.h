#pragma once

// What the peer flood at scale shares between its coordinator (bench_peer) and its worker
// processes (bench_peer_worker): where each client lives, the clock they all read, what
// the service hands out as a peer list, and the TCP traffic of each client.

#include <cstdint>
#include <map>
#include <random>
#include <string>
#include <utility>
#include <vector>

// Nanoseconds on CLOCK_MONOTONIC, which every process on the machine shares.
int64_t MonotonicNs();

// The loopback address of client k (from 0): 127.20.1.1, 127.20.1.2, ... 254 to a block,
// spread over 127.0.0.0/8 as far as 16 million clients.
std::string ScaleAddress(int k);

// A log-in answer's peer list as the reference service draws it: at most kSampleSize of
// the kPoolSize addresses that logged in most recently (registry, oldest first), never
// the caller's own, in random order.
std::vector<std::string> ServiceSample(const std::vector<std::string>& registry,
                                       const std::string& strOwn, std::mt19937& rng);

// Raises this process's soft limit of open files to its hard limit; returns the limit.
long RaiseFileLimit();

// Bytes through one TCP socket, as the kernel counts them.
struct CSocketBytes {
    uint64_t nSent = 0;
    uint64_t nReceived = 0;
};

// Every connected TCP socket of this process, keyed by "local:port>remote:port", with its
// local address and traffic: so traffic is counted per client without touching the sockets.
std::map<std::string, std::pair<std::string, CSocketBytes>> TcpSockets();

// The coordinator: N clients in nWorkers processes of the worker binary, linked as the
// service links them; nRounds invitations, then one during churn and one after it. Prints
// its report and summary lines; false when a client was missed or the run broke down.
bool RunPeerFloodAtScale(const std::string& strWorkerBinary, int nClients, int nWorkers,
                         int nRounds);
