#pragma once

// HTTP helpers for the service tests: requests as the client sends them (percent-encoded
// query values, the client's user agent), requests from a chosen loopback source address,
// and a strict reader of the log-in and registration answers.

#include <string>
#include <vector>

struct CHttpReply {
    int nStatus = -1;  // -1: no HTTP answer at all
    std::string strContentType;
    std::string strBody;
};

// Percent-encodes a query value; RFC 3986 unreserved characters stay as they are.
std::string UrlEncode(const std::string& strValue);

std::string LoginTarget(const std::string& strUser, const std::string& strPassword);
std::string RegisterTarget(const std::string& strUser, const std::string& strPassword,
                           const std::string& strEmail);

// GET http://127.0.0.1:nPort<strTarget>; strHost, when given, replaces the Host header.
CHttpReply HttpGet(int nPort, const std::string& strTarget, const std::string& strHost = "");

// The same over a socket bound to strSourceAddress (any 127.x.y.z works on Linux), so the
// service sees the request coming from there.
CHttpReply HttpGetFrom(const std::string& strSourceAddress, int nPort,
                       const std::string& strTarget);

// The value of a line that is exactly one element "<name>value</name>" whose value holds
// no '<'; false for anything else.
bool ElementValue(const std::string& strLine, const std::string& strName, std::string& strValue);

struct CServiceAnswer {
    // True when the body is exactly the expected lines, each one element, LF line ends.
    bool bWellFormed = false;
    std::string strCode;
    std::string strMessage;
    // Log-in answers only.
    std::string strVersionCount;
    std::string strVersionUrl;
    std::string strFirewallRoute;
    std::vector<std::string> arrPeers;
};

CServiceAnswer ParseLoginAnswer(const std::string& strBody);
CServiceAnswer ParseRegisterAnswer(const std::string& strBody);

// GET of an absolute "http://host:port/path" URL, as the client follows catalogue and
// feed links.
CHttpReply HttpGetUrl(const std::string& strUrl);

// The LF-terminated lines of a body; a last line without LF is dropped.
std::vector<std::string> Lines(const std::string& strText);
