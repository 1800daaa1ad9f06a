// http_server.cpp - the view's HTTP server on Boost.Beast: one thread does all the reading
// and writing (a slow or silent client costs a socket and a bounded buffer, never a
// thread), and a small pool runs the handlers, which may wait (the long poll, a query the
// command thread answers at its next prompt).
#include "http_server.h"

#include "text_util.h"

#include <boost/asio.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>

#include <map>
#include <optional>
#include <thread>

namespace host::view {

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
using tcp = asio::ip::tcp;

namespace {

std::string decodeUrl(std::string_view s, bool plusIsSpace) {
    std::string out;
    out.reserve(s.size());
    for (std::size_t i = 0; i < s.size(); ++i) {
        int hi = 0, lo = 0;
        if (s[i] == '%' && i + 2 < s.size() && (hi = text::hexDigit(s[i + 1])) >= 0 &&
            (lo = text::hexDigit(s[i + 2])) >= 0) {
            out += static_cast<char>(hi * 16 + lo);
            i += 2;
        } else if (s[i] == '+' && plusIsSpace) {
            out += ' ';
        } else {
            out += s[i];
        }
    }
    return out;
}

struct Route {
    std::string method;
    std::regex pattern;
    HttpServer::Handler handler;
};

} // namespace

std::string Request::get_param_value(const std::string &name, std::size_t i) const {
    auto [first, last] = params.equal_range(name);
    for (auto it = first; it != last; ++it, --i)
        if (i == 0)
            return it->second;
    return {};
}

std::string Request::get_header_value(std::string_view name) const {
    for (const auto &[n, v] : headers)
        if (text::equalsIgnoreCase(n, name))
            return v;
    return {};
}

bool isLoopback(const std::string &address) {
    beast::error_code ec;
    asio::ip::address ip = asio::ip::make_address(address, ec);
    return ec ? address == "localhost" : ip.is_loopback();
}

void parseQuery(std::string_view query, std::multimap<std::string, std::string> &params) {
    while (!query.empty()) {
        std::size_t amp = query.find('&');
        std::string_view pair = query.substr(0, amp);
        query = amp == std::string_view::npos ? std::string_view() : query.substr(amp + 1);
        if (pair.empty())
            continue;
        std::size_t eq = pair.find('=');
        std::string_view name = pair.substr(0, eq);
        std::string_view value =
            eq == std::string_view::npos ? std::string_view() : pair.substr(eq + 1);
        // multimap keeps values of one name in the order inserted
        params.emplace(decodeUrl(name, true), decodeUrl(value, true));
    }
}

class Session;

struct HttpServer::Impl {
    explicit Impl(HttpLimits l) : limits(l) {}

    struct Listener {
        explicit Listener(asio::io_context &ioc) : acceptor(ioc), pause(ioc) {}
        tcp::acceptor acceptor;
        asio::steady_timer pause; // after a failed accept (out of descriptors): a breath
    };

    HttpLimits limits;
    asio::io_context ioc;
    std::vector<std::unique_ptr<Listener>> listeners;
    std::optional<asio::thread_pool> pool;
    std::thread ioThread;
    Gate gate;
    std::vector<Route> routes;
    // The open connections, oldest first; touched by the I/O thread only.
    std::map<std::uint64_t, std::weak_ptr<Session>> sessions;
    std::uint64_t nextId = 0;
    bool running = false;

    void accept(Listener &l);
    void admit(tcp::socket socket);
    bool evictOldest(const std::string *peer);
    const Route *route(const Request &req) const;
};

class Session : public std::enable_shared_from_this<Session> {
public:
    Session(HttpServer::Impl &server, tcp::socket socket, std::string peer, std::uint64_t id)
        : server_(server), stream_(std::move(socket)),
          buffer_(server.limits.headerBytes + server.limits.bodyBytes), peer_(std::move(peer)),
          id_(id) {}

    const std::string &peer() const { return peer_; }
    // Not yet shown the gate a request it let through, and no handler running for it: a
    // connection that may go when the caps are reached.
    bool evictable() const { return !trusted_ && !busy_; }

    void readRequest() {
        parser_.emplace();
        parser_->header_limit(static_cast<std::uint32_t>(server_.limits.headerBytes));
        parser_->body_limit(server_.limits.bodyBytes);
        req_ = Request{};
        res_ = Response{};
        stream_.expires_after(server_.limits.requestDeadline);
        http::async_read_header(
            stream_, buffer_, *parser_,
            [self = shared_from_this()](beast::error_code ec, std::size_t) { self->onHeader(ec); });
    }

    void close() {
        if (closed_)
            return;
        closed_ = true;
        beast::error_code ec;
        stream_.socket().shutdown(tcp::socket::shutdown_both, ec);
        stream_.socket().close(ec);
        server_.sessions.erase(id_);
    }

private:
    void refuse(int status, const std::string &why) {
        Response r;
        r.status = status;
        r.set_content(why + "\n", "text/plain; charset=utf-8");
        send(std::move(r), false);
    }

    static bool parseError(beast::error_code ec) {
        return ec.category() == http::make_error_code(http::error::bad_target).category() &&
               ec != http::error::end_of_stream && ec != http::error::partial_message;
    }

    void onHeader(beast::error_code ec) {
        if (ec == http::error::header_limit ||
            ec == beast::error_code(http::error::buffer_overflow))
            return refuse(431, "refused: the request's header is too large");
        if (ec == http::error::body_limit) // its Content-Length says so, before the token
            return refuse(413, "refused: the request's body is too large");
        if (ec && parseError(ec))
            return refuse(400, "refused: not a request");
        if (ec)
            return close(); // the deadline, or the client went
        auto &head = parser_->get();
        std::string_view target(head.target().data(), head.target().size());
        if (target.size() > server_.limits.targetBytes)
            return refuse(414, "refused: the address is too long");
        std::size_t fields = 0;
        for (const auto &f : head) {
            if (++fields > server_.limits.headerFields)
                return refuse(431, "refused: too many header fields");
            req_.headers.emplace_back(std::string(f.name_string()), std::string(f.value()));
        }
        req_.method = std::string(head.method_string());
        std::size_t q = target.find('?');
        req_.path = decodeUrl(target.substr(0, q), false);
        if (q != std::string_view::npos)
            parseQuery(target.substr(q + 1), req_.params);
        keepAlive_ = head.keep_alive();
        version_ = head.version();
        if (server_.gate && !server_.gate(req_, res_)) {
            Response r = std::move(res_);
            return send(std::move(r), false);
        }
        trusted_ = true;
        if (auto length = parser_->content_length(); length && *length > server_.limits.bodyBytes)
            return refuse(413, "refused: the request's body is too large");
        if (parser_->is_done())
            return dispatch();
        http::async_read(
            stream_, buffer_, *parser_,
            [self = shared_from_this()](beast::error_code ec, std::size_t) { self->onBody(ec); });
    }

    void onBody(beast::error_code ec) {
        if (ec == http::error::body_limit || ec == beast::error_code(http::error::buffer_overflow))
            return refuse(413, "refused: the request's body is too large");
        if (ec)
            return close();
        req_.body = std::move(parser_->get().body());
        if (text::startsWithIgnoreCase(req_.get_header_value("Content-Type"),
                                       "application/x-www-form-urlencoded"))
            parseQuery(req_.body, req_.params);
        dispatch();
    }

    void dispatch() {
        stream_.expires_never(); // a handler may wait (the long poll); the client may too
        const Route *r = server_.route(req_);
        if (r == nullptr) {
            res_.status = 404;
            res_.set_content("no such page\n", "text/plain; charset=utf-8");
            return send(std::move(res_), keepAlive_);
        }
        busy_ = true;
        asio::post(*server_.pool, [self = shared_from_this(), r]() mutable {
            Response res = std::move(self->res_);
            try {
                r->handler(self->req_, res);
            } catch (const std::exception &) {
                res = Response{};
                res.status = 500;
                res.set_content("the request failed\n", "text/plain; charset=utf-8");
            }
            asio::io_context &ioc = self->server_.ioc;
            asio::post(ioc, [self = std::move(self), res = std::move(res)]() mutable {
                self->busy_ = false;
                self->send(std::move(res), self->keepAlive_);
            });
        });
    }

    void send(Response r, bool keepAlive) {
        if (closed_)
            return;
        auto msg = std::make_shared<http::response<http::string_body>>();
        msg->version(version_);
        msg->result(static_cast<unsigned>(r.status));
        if (!r.contentType.empty())
            msg->set(http::field::content_type, r.contentType);
        for (const auto &[name, value] : r.headers)
            msg->set(name, value);
        msg->body() = std::move(r.body);
        msg->keep_alive(keepAlive);
        msg->prepare_payload();
        stream_.expires_after(server_.limits.writeDeadline);
        http::async_write(
            stream_, *msg,
            [self = shared_from_this(), msg, keepAlive](beast::error_code ec, std::size_t) {
                if (ec || !keepAlive)
                    return self->close();
                self->readRequest();
            });
    }

    HttpServer::Impl &server_;
    beast::tcp_stream stream_;
    beast::flat_buffer buffer_;
    std::optional<http::request_parser<http::string_body>> parser_;
    Request req_;
    Response res_; // what the gate put in it (the headers every answer carries)
    std::string peer_;
    std::uint64_t id_;
    unsigned version_ = 11;
    bool keepAlive_ = false;
    bool trusted_ = false;
    bool busy_ = false;
    bool closed_ = false;
};

void HttpServer::Impl::accept(Listener &l) {
    l.acceptor.async_accept([this, &l](beast::error_code ec, tcp::socket socket) {
        if (ec == asio::error::operation_aborted || !l.acceptor.is_open())
            return;
        if (ec) { // out of descriptors, most likely: let the deadlines free some
            l.pause.expires_after(std::chrono::milliseconds(50));
            l.pause.async_wait([this, &l](beast::error_code e) {
                if (!e)
                    accept(l);
            });
            return;
        }
        admit(std::move(socket));
        accept(l);
    });
}

bool HttpServer::Impl::evictOldest(const std::string *peer) {
    for (auto &[id, weak] : sessions) {
        auto s = weak.lock();
        if (s && s->evictable() && (peer == nullptr || s->peer() == *peer)) {
            s->close();
            return true;
        }
    }
    return false;
}

void HttpServer::Impl::admit(tcp::socket socket) {
    beast::error_code ec;
    tcp::endpoint remote = socket.remote_endpoint(ec);
    if (ec)
        return;
    std::string peer = remote.address().to_string();
    std::size_t ofPeer = 0;
    for (auto &[id, weak] : sessions)
        if (auto s = weak.lock(); s && s->peer() == peer)
            ++ofPeer;
    // At a cap the oldest connection that has not shown a request the gate let through
    // makes room: a client trickling its requests cannot keep the page out.
    if (ofPeer >= limits.perClient && !evictOldest(&peer))
        return; // the socket closes as it goes
    if (sessions.size() >= limits.total && !evictOldest(nullptr))
        return;
    socket.set_option(tcp::no_delay(true), ec); // small answers go out at once
    auto s = std::make_shared<Session>(*this, std::move(socket), peer, nextId);
    sessions.emplace(nextId++, s);
    s->readRequest();
}

const Route *HttpServer::Impl::route(const Request &req) const {
    for (const Route &r : routes)
        if (r.method == req.method && std::regex_match(req.path, r.pattern))
            return &r;
    return nullptr;
}

HttpServer::HttpServer(HttpLimits limits) : impl_(std::make_unique<Impl>(limits)) {}

HttpServer::~HttpServer() {
    stop();
}

void HttpServer::setGate(Gate gate) {
    impl_->gate = std::move(gate);
}

void HttpServer::Get(const std::string &pattern, Handler handler) {
    impl_->routes.push_back({"GET", std::regex(pattern), std::move(handler)});
}

void HttpServer::Post(const std::string &pattern, Handler handler) {
    impl_->routes.push_back({"POST", std::regex(pattern), std::move(handler)});
}

int HttpServer::listen(const std::string &address, int port, std::string &error) {
    beast::error_code ec;
    tcp::endpoint where;
    asio::ip::address ip = asio::ip::make_address(address, ec);
    if (!ec) {
        where = tcp::endpoint(ip, static_cast<unsigned short>(port));
    } else { // a name
        tcp::resolver resolver(impl_->ioc);
        auto found = resolver.resolve(address, std::to_string(port), ec);
        if (ec || found.empty()) {
            error = "cannot find the address " + address;
            return 0;
        }
        where = *found.begin();
    }
    auto l = std::make_unique<Impl::Listener>(impl_->ioc);
    auto &a = l->acceptor;
    a.open(where.protocol(), ec);
    if (!ec && where.protocol() == tcp::v6())
        a.set_option(asio::ip::v6_only(true), ec);
    if (!ec)
        a.set_option(asio::socket_base::reuse_address(true), ec);
    if (!ec)
        a.bind(where, ec);
    if (!ec)
        a.listen(asio::socket_base::max_listen_connections, ec);
    if (ec) {
        error = "cannot listen on " + address +
                (port != 0 ? " port " + std::to_string(port) : std::string()) + ": " + ec.message();
        return 0;
    }
    int bound = a.local_endpoint().port();
    impl_->listeners.push_back(std::move(l));
    return bound;
}

void HttpServer::start() {
    if (impl_->running)
        return;
    impl_->running = true;
    impl_->pool.emplace(impl_->limits.handlerThreads);
    for (auto &l : impl_->listeners)
        impl_->accept(*l);
    impl_->ioThread = std::thread([impl = impl_.get()] {
        auto work = asio::make_work_guard(impl->ioc);
        impl->ioc.run();
    });
}

void HttpServer::stop() {
    if (!impl_->running)
        return;
    impl_->running = false;
    impl_->ioc.stop();
    if (impl_->ioThread.joinable())
        impl_->ioThread.join();
    impl_->pool->join(); // handlers end: a stopped view's hub refuses their waits
    // Nothing runs now: what is left is closed from here.
    beast::error_code ec;
    for (auto &l : impl_->listeners) {
        l->acceptor.close(ec);
        l->pause.cancel();
    }
    auto sessions = std::move(impl_->sessions);
    for (auto &[id, weak] : sessions)
        if (auto s = weak.lock())
            s->close();
    impl_->listeners.clear();
}

} // namespace host::view
