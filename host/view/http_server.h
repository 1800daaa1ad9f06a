// http_server.h - a small HTTP/1.1 server for the view that holds against abuse: every
// connection reads into a bounded buffer under one deadline for the whole request, the
// request's header is checked before any of its body is read, and the connections of one
// client and of all clients are capped. Route handlers see a request and fill a response.
#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <map>
#include <memory>
#include <regex>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace host::view {

// A request as the handlers see it: the path, the parameters of the query (and of a form
// body) in the order sent, repeated ones kept, and the header fields.
struct Request {
    std::string method;
    std::string path;
    std::multimap<std::string, std::string> params;
    std::vector<std::pair<std::string, std::string>> headers;
    std::string body;

    bool has_param(const std::string &name) const { return params.count(name) != 0; }
    std::size_t get_param_value_count(const std::string &name) const { return params.count(name); }
    // The i-th value of the parameter, in the order sent; empty when there is none.
    std::string get_param_value(const std::string &name, std::size_t i = 0) const;
    // The first header field of that name (any case); empty when there is none.
    std::string get_header_value(std::string_view name) const;
};

struct Response {
    int status = 200;
    std::string body;
    std::string contentType;
    std::vector<std::pair<std::string, std::string>> headers;

    void set_content(std::string content, std::string type) {
        body = std::move(content);
        contentType = std::move(type);
    }
    void set_header(std::string name, std::string value) {
        headers.emplace_back(std::move(name), std::move(value));
    }
};

// Whether address (a number or a name) is this machine's loopback, which no other reaches.
bool isLoopback(const std::string &address);

// Decodes "a=1&b=x+y&a=%41" into params, in order, repeated names and values kept.
void parseQuery(std::string_view query, std::multimap<std::string, std::string> &params);

struct HttpLimits {
    std::size_t headerBytes = 32 * 1024; // request line and header fields together
    std::size_t headerFields = 64;
    std::size_t targetBytes = 16 * 1024; // the request line's path and query
    std::size_t bodyBytes = 64 * 1024;
    // From the moment a connection is ready for a request to its last byte: an idle
    // keep-alive connection and a client that trickles its request both end with it.
    std::chrono::milliseconds requestDeadline{5000};
    std::chrono::milliseconds writeDeadline{30000};
    std::size_t perClient = 64; // connections of one address
    std::size_t total = 256;
    std::size_t handlerThreads = 16; // requests answered at once (a long poll holds one)
};

class HttpServer {
public:
    using Handler = std::function<void(const Request &, Response &)>;
    // Sees a request's header (its body not yet read). False: res holds the refusal, which
    // is sent, and the connection closed without reading the body.
    using Gate = std::function<bool(const Request &, Response &)>;

    explicit HttpServer(HttpLimits limits = {});
    ~HttpServer();
    HttpServer(const HttpServer &) = delete;
    HttpServer &operator=(const HttpServer &) = delete;

    void setGate(Gate gate);
    // pattern: a regular expression the whole path matches.
    void Get(const std::string &pattern, Handler handler);
    void Post(const std::string &pattern, Handler handler);

    // Listens on address at port (0: any free port); returns the port, or 0 with error.
    int listen(const std::string &address, int port, std::string &error);
    // Serves on threads of its own until stop().
    void start();
    void stop();

private:
    struct Impl;
    friend class Session; // a connection, in the implementation
    std::unique_ptr<Impl> impl_;
};

} // namespace host::view
