// view_server.h - the page's HTTP server: loopback only unless told otherwise, every
// request checked for the view's token and for a Host and Origin of the view's own.
#pragma once

#include "view_input.h"

#include <memory>
#include <set>
#include <string>

namespace host::view {

// Whether a request may reach the view: its token matches, its Host names the view itself
// (so that a name rebound to this machine cannot reach it) and its Origin, when sent, is
// the view's own page. allowedHosts: "host:port" as the browser writes them.
bool requestAllowed(const std::set<std::string> &allowedHosts, const std::string &token,
                    const std::string &host, const std::string &origin,
                    const std::string &givenToken);

// A fresh random token: 32 hex digits.
std::string makeToken();

class ViewServer {
public:
    explicit ViewServer(std::shared_ptr<Hub> hub);
    ~ViewServer();
    ViewServer(const ViewServer &) = delete;
    ViewServer &operator=(const ViewServer &) = delete;
    // Listens on address (and on ::1 too when address is 127.0.0.1) at port (0: any).
    bool start(const std::string &address, int port, std::string &error);
    void stop();
    // The page's address, token included.
    std::string url() const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace host::view
