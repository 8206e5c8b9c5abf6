#pragma once

// What the peer flood at scale shares between its coordinator (bench_peer) and its worker
// processes (bench_peer_worker): where each client lives, the clock they all read, what
// the service hands out as a peer list, and the TCP traffic of each client.

#include <cstdint>
#include <map>
#include <optional>
#include <random>
#include <string>
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

// The links between clients, by client.
using CLinks = std::vector<std::vector<int>>;

// The links clients would make logging in one after another, each with the service's list
// of that moment, by the peer network's rules and without sockets: each dials the addresses
// of its list in turn until nDialled took it (CPeerNet::MAX_DIALLED_PEERS; PEER_LIMIT + 1
// as first designed), and a client takes one that dials it while it has fewer than
// PEER_LIMIT + 1 peers and MAX_UNLISTED_PEERS unlisted ones. Nobody leaves and nobody asks
// for a new list.
CLinks ReplayLinking(int nClients, int nDialled, std::mt19937& rng);

// How many hops a flood takes over the links: from each of nOrigins random clients, the mean
// over the clients it reaches, and the hops within which 99% and all of them lie; the
// medians over the origins. Clients without links are left out.
struct CHops {
    double dMean = 0;
    int n99 = 0;
    int nAll = 0;
};
CHops HopsOf(const CLinks& links, int nOrigins, std::mt19937& rng);

// Raises this process's soft limit of open files to its hard limit; returns the limit.
long RaiseFileLimit();

// Bytes through one TCP socket, as the kernel counts them.
struct CSocketBytes {
    uint64_t nSent = 0;
    uint64_t nReceived = 0;
};

struct CTcpSocket {
    std::string strLocalAddress;
    int fd = -1;
    CSocketBytes bytes;
};

// "local:port>remote:port", the key of a TCP connection.
std::string SocketKey(const std::string& strLocal, unsigned nLocalPort,
                      const std::string& strRemote, unsigned nRemotePort);

// Every connected TCP socket of this process by its key: so traffic is counted per client
// without touching the sockets. Dear: three system calls for every descriptor.
std::map<std::string, CTcpSocket> TcpSockets();

// The traffic of descriptor fd while it is still the connection strKey; none otherwise.
std::optional<CSocketBytes> SocketBytes(int fd, const std::string& strKey);

// The coordinator: N clients in nWorkers processes of the worker binary, linked as the
// service links them; nRounds invitations, then one during churn and one after it. Prints
// its report and summary lines; false when a client was missed or the run broke down.
bool RunPeerFloodAtScale(const std::string& strWorkerBinary, int nClients, int nWorkers,
                         int nRounds);
