#include "ServiceHttp.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <httplib.h>

#include <cctype>

namespace {

const char* const kUserAgent = "Vocalon v2.0";

CHttpReply Fetch(const std::string& strHost, int nPort, const std::string& strTarget,
                 httplib::Headers headers) {
    httplib::Client client(strHost, nPort);
    client.set_url_encode(false);  // targets are encoded already, as the client does
    client.set_connection_timeout(5);
    client.set_read_timeout(20);
    headers.emplace("User-Agent", kUserAgent);
    CHttpReply reply;
    if (auto result = client.Get(strTarget, headers)) {
        reply.nStatus = result->status;
        reply.strContentType = result->get_header_value("Content-Type");
        reply.strBody = result->body;
    }
    return reply;
}

sockaddr_in LoopbackAddress(const std::string& strAddress, int nPort) {
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<uint16_t>(nPort));
    inet_pton(AF_INET, strAddress.c_str(), &addr.sin_addr);
    return addr;
}

}  // namespace

bool ElementValue(const std::string& strLine, const std::string& strName, std::string& strValue) {
    const std::string strOpen = "<" + strName + ">";
    const std::string strClose = "</" + strName + ">";
    if (strLine.size() < strOpen.size() + strClose.size() ||
        strLine.compare(0, strOpen.size(), strOpen) != 0 ||
        strLine.compare(strLine.size() - strClose.size(), strClose.size(), strClose) != 0) {
        return false;
    }
    std::string strInner =
        strLine.substr(strOpen.size(), strLine.size() - strOpen.size() - strClose.size());
    if (strInner.find_first_of("<\r\n") != std::string::npos) {
        return false;
    }
    strValue = strInner;
    return true;
}

std::string UrlEncode(const std::string& strValue) {
    static const char* const s_szHex = "0123456789ABCDEF";
    std::string strOut;
    for (unsigned char c : strValue) {
        bool bUnreserved = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                           (c >= '0' && c <= '9') || c == '-' || c == '.' || c == '_' || c == '~';
        if (bUnreserved) {
            strOut += static_cast<char>(c);
        } else {
            strOut += '%';
            strOut += s_szHex[c >> 4];
            strOut += s_szHex[c & 15];
        }
    }
    return strOut;
}

std::string LoginTarget(const std::string& strUser, const std::string& strPassword) {
    return "/cgi-local/login2.pl?username=" + UrlEncode(strUser) +
           "&password=" + UrlEncode(strPassword);
}

std::string RegisterTarget(const std::string& strUser, const std::string& strPassword,
                           const std::string& strEmail) {
    return "/cgi-local/register2.pl?username=" + UrlEncode(strUser) +
           "&password=" + UrlEncode(strPassword) + "&email=" + UrlEncode(strEmail);
}

CHttpReply HttpGet(int nPort, const std::string& strTarget, const std::string& strHost) {
    httplib::Headers headers;
    if (!strHost.empty()) {
        headers.emplace("Host", strHost);
    }
    return Fetch("127.0.0.1", nPort, strTarget, headers);
}

CHttpReply HttpGetUrl(const std::string& strUrl) {
    const std::string strScheme = "http://";
    size_t nColon = strUrl.find(':', strScheme.size());
    size_t nSlash = strUrl.find('/', strScheme.size());
    if (strUrl.compare(0, strScheme.size(), strScheme) != 0 || nColon == std::string::npos ||
        nSlash == std::string::npos || nColon > nSlash) {
        return {};
    }
    std::string strPort = strUrl.substr(nColon + 1, nSlash - nColon - 1);
    if (strPort.empty() || strPort.size() > 5 ||
        strPort.find_first_not_of("0123456789") != std::string::npos) {
        return {};
    }
    return Fetch(strUrl.substr(strScheme.size(), nColon - strScheme.size()), std::stoi(strPort),
                 strUrl.substr(nSlash), {});
}

CHttpReply HttpGetFrom(const std::string& strSourceAddress, int nPort,
                       const std::string& strTarget) {
    CHttpReply reply;
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return reply;
    }
    timeval timeout{10, 0};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    sockaddr_in source = LoopbackAddress(strSourceAddress, 0);
    sockaddr_in target = LoopbackAddress("127.0.0.1", nPort);
    std::string strRequest = "GET " + strTarget +
                             " HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(nPort) +
                             "\r\nUser-Agent: " + kUserAgent + "\r\nConnection: close\r\n\r\n";
    std::string strRaw;
    if (bind(fd, reinterpret_cast<sockaddr*>(&source), sizeof source) == 0 &&
        connect(fd, reinterpret_cast<sockaddr*>(&target), sizeof target) == 0 &&
        send(fd, strRequest.data(), strRequest.size(), MSG_NOSIGNAL) ==
            static_cast<ssize_t>(strRequest.size())) {
        char buf[4096];
        ssize_t n = 0;
        while ((n = recv(fd, buf, sizeof buf, 0)) > 0) {
            strRaw.append(buf, static_cast<size_t>(n));
        }
    }
    close(fd);

    size_t nHeaderEnd = strRaw.find("\r\n\r\n");
    std::string strHead = strRaw.substr(0, nHeaderEnd);
    // "HTTP/1.1 200 OK"
    if (nHeaderEnd == std::string::npos || strHead.size() < 13 ||
        strHead.compare(0, 7, "HTTP/1.") != 0 || strHead[8] != ' ' ||
        strHead.substr(9, 3).find_first_not_of("0123456789") != std::string::npos) {
        return reply;
    }
    reply.nStatus = std::stoi(strHead.substr(9, 3));
    std::string strLowerHead = strHead;
    for (char& c : strLowerHead) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    const std::string strField = "\r\ncontent-type: ";
    size_t nField = strLowerHead.find(strField);
    if (nField != std::string::npos) {
        size_t nStart = nField + strField.size();
        reply.strContentType = strHead.substr(nStart, strHead.find('\r', nStart) - nStart);
    }
    reply.strBody = strRaw.substr(nHeaderEnd + 4);
    return reply;
}

CServiceAnswer ParseLoginAnswer(const std::string& strBody) {
    CServiceAnswer answer;
    std::vector<std::string> arrLines = Lines(strBody);
    bool bOk = arrLines.size() >= 7 && strBody.back() == '\n' &&
               ElementValue(arrLines[0], "errorcode", answer.strCode) &&
               ElementValue(arrLines[1], "error", answer.strMessage) &&
               ElementValue(arrLines[2], "version_count", answer.strVersionCount) &&
               ElementValue(arrLines[3], "version_url", answer.strVersionUrl) &&
               ElementValue(arrLines[4], "firewall_rt", answer.strFirewallRoute) &&
               arrLines[5] == "<iplist>" && arrLines.back() == "</iplist>";
    for (size_t i = 6; bOk && i + 1 < arrLines.size(); ++i) {
        std::string strPeer;
        bOk = ElementValue(arrLines[i], "ipaddr", strPeer);
        answer.arrPeers.push_back(strPeer);
    }
    answer.bWellFormed = bOk;
    return answer;
}

CServiceAnswer ParseRegisterAnswer(const std::string& strBody) {
    CServiceAnswer answer;
    std::vector<std::string> arrLines = Lines(strBody);
    answer.bWellFormed = arrLines.size() == 2 && strBody.back() == '\n' &&
                         ElementValue(arrLines[0], "errorcode", answer.strCode) &&
                         ElementValue(arrLines[1], "error", answer.strMessage);
    return answer;
}

std::vector<std::string> Lines(const std::string& strText) {
    std::vector<std::string> arrLines;
    size_t nStart = 0;
    size_t nEnd = 0;
    while ((nEnd = strText.find('\n', nStart)) != std::string::npos) {
        arrLines.push_back(strText.substr(nStart, nEnd - nStart));
        nStart = nEnd + 1;
    }
    return arrLines;
}
