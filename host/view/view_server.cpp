// view_server.cpp - the page's HTTP server: the page's files, the prompt and transcript by
// long polling, pictures of a view, the layers, and answers posted back.
#include "view_server.h"

#include "http_server.h"
#include "page_files.h"
#include "view_follow.h"
#include "view_scene.h"
#include "view_aids.h"
#include "view_texts.h"

#include "command_line.h"
#include "dbapserv.h"
#include "sysvars.h"
#include "text_util.h"

#include <cmath>
#include <random>

namespace host::view {

namespace {

constexpr auto kPollWait = std::chrono::seconds(10);
constexpr auto kCallWait = std::chrono::seconds(10);

bool sameSecret(const std::string &a, const std::string &b) {
    if (a.size() != b.size())
        return false;
    unsigned char diff = 0;
    for (std::size_t i = 0; i < a.size(); ++i)
        diff |= static_cast<unsigned char>(a[i] ^ b[i]);
    return diff == 0;
}

const char *wantName(Want w) {
    switch (w) {
    case Want::Point:
        return "point";
    case Want::Entity:
        return "entity";
    case Want::Select:
        return "select";
    case Want::Text:
        break;
    }
    return "text";
}

std::optional<double> number(const Request &req, const char *name) {
    if (!req.has_param(name))
        return std::nullopt;
    return text::parseNumber(req.get_param_value(name));
}

// One posted answer: "L<text>" a line, "E" Escape, "P<aperture> <x,y>" a pick.
std::optional<Item> parseItem(const std::string &s) {
    if (s.empty())
        return std::nullopt;
    if (s == "E")
        return Item{Item::Kind::Escape, {}, 0};
    if (s[0] == 'L')
        return Item{Item::Kind::Line, s.substr(1), 0, false, true};
    if (s[0] == 'P') {
        std::size_t space = s.find(' ');
        if (space == std::string::npos)
            return std::nullopt;
        const std::optional<double> aperture =
            text::parseNumber(std::string_view(s).substr(1, space - 1));
        if (!aperture || !(*aperture > 0))
            return std::nullopt;
        return Item{Item::Kind::Line, s.substr(space + 1), *aperture, false, true};
    }
    return std::nullopt;
}

void refuse(Response &res, int status, const std::string &why) {
    res.status = status;
    res.set_content(why + "\n", "text/plain; charset=utf-8");
}

} // namespace

bool requestAllowed(const std::set<std::string> &allowedHosts, const std::string &token,
                    const std::string &host, const std::string &origin,
                    const std::string &givenToken) {
    if (!sameSecret(givenToken, token))
        return false;
    if (!allowedHosts.count(host))
        return false;
    return origin.empty() ||
           (origin.rfind("http://", 0) == 0 && allowedHosts.count(origin.substr(7)));
}

std::string makeToken() {
    std::random_device rd;
    std::string out;
    static const char kDigits[] = "0123456789abcdef";
    for (int i = 0; i < 4; ++i) {
        std::uint32_t v = rd();
        for (int k = 0; k < 8; ++k, v >>= 4)
            out += kDigits[v & 15];
    }
    return out;
}

struct ViewServer::Impl {
    std::shared_ptr<Hub> hub;
    std::string token = makeToken();
    std::string address;
    int port = 0;
    std::set<std::string> allowedHosts;
    std::string texts; // the page's words, in the host's language
    std::unique_ptr<HttpServer> server;

    void routes(HttpServer &s);
};

void ViewServer::Impl::routes(HttpServer &s) {
    // Sees the header alone: a request refused here has none of its body read.
    s.setGate([this](const Request &req, Response &res) {
        std::string given = req.has_param("token") ? req.get_param_value("token")
                                                   : req.get_header_value("X-View-Token");
        if (!requestAllowed(allowedHosts, token, req.get_header_value("Host"),
                            req.get_header_value("Origin"), given)) {
            refuse(res, 403, "refused: this address needs the view's token, from its own page");
            return false;
        }
        res.set_header("Cache-Control", "no-store");
        res.set_header("X-Content-Type-Options", "nosniff");
        res.set_header("X-Frame-Options", "DENY");
        return true;
    });
    s.Get(R"(/|/index\.html|/[a-z0-9_]+\.(js|css))", [](const Request &req, Response &res) {
        std::string path = req.path == "/" ? "/index.html" : req.path;
        const PageFile *f = findPageFile(path.substr(1));
        if (f == nullptr)
            return refuse(res, 404, "no such file");
        res.set_content(std::string(f->content), std::string(f->mime));
    });
    s.Get("/api/state", [this](const Request &req, Response &res) {
        auto since = static_cast<std::uint64_t>(number(req, "since").value_or(0));
        auto from = static_cast<std::uint64_t>(number(req, "from").value_or(0));
        std::string text;
        PromptState st = hub->waitState(since, kPollWait, from, text);
        std::string json = "{\"version\":" + std::to_string(st.version) +
                           ",\"waiting\":" + (st.waiting ? "true" : "false") +
                           ",\"prompts\":" + std::to_string(st.prompts) +
                           ",\"ended\":" + (st.ended ? "true" : "false") +
                           ",\"spaces\":" + (st.spaces ? "true" : "false") + ",\"want\":\"" +
                           wantName(st.want) + "\",\"prompt\":" + jsonString(st.prompt) +
                           ",\"from\":" + std::to_string(from) + ",\"text\":" + jsonString(text) +
                           st.extras + "}";
        res.set_content(json, "application/json");
    });
    s.Get("/api/texts",
          [this](const Request &, Response &res) { res.set_content(texts, "application/json"); });
    s.Get("/api/drawing", [this](const Request &, Response &res) {
        auto json = hub->call(
            [] {
                AcDbDatabase *db = acdbHostApplicationServices()->workingDatabase();
                if (db == nullptr)
                    return std::string("null");
                return "{\"layers\":" + layersJson(*db) + ",\"extents\":" + extentsJson(*db) +
                       ",\"pickbox\":" + std::to_string(CommandLine::current().vars().pickbox) +
                       "}";
            },
            kCallWait);
        if (!json)
            return refuse(res, 503, "busy: a command is running");
        res.set_content(*json, "application/json");
    });
    s.Get("/api/picture", [this](const Request &req, Response &res) {
        auto x0 = number(req, "x0"), y0 = number(req, "y0"), x1 = number(req, "x1"),
             y1 = number(req, "y1"), px = number(req, "pixel");
        if (!x0 || !y0 || !x1 || !y1 || !px || !(*px > 0) || *x1 < *x0 || *y1 < *y0)
            return refuse(res, 400, "a picture needs x0 <= x1, y0 <= y1 and pixel > 0");
        ViewBox box{*x0, *y0, *x1, *y1, *px};
        auto data = hub->call(
            [box] {
                AcDbDatabase *db = acdbHostApplicationServices()->workingDatabase();
                if (db == nullptr)
                    return std::string();
                return encodeView(*db, box, highlightedIds());
            },
            kCallWait);
        if (!data)
            return refuse(res, 503, "busy: a command is running");
        res.set_content(std::move(*data), "application/octet-stream");
    });
    addAidRoutes(s, hub);
    s.Get("/api/hover", [this](const Request &req, Response &res) {
        auto x = number(req, "x"), y = number(req, "y"), ap = number(req, "aperture");
        if (!x || !y || !ap || !(*ap > 0))
            return refuse(res, 400, "hover needs x, y and aperture > 0");
        auto json = hub->call(
            [x = *x, y = *y, ap = *ap] {
                AcDbDatabase *db = acdbHostApplicationServices()->workingDatabase();
                return db == nullptr ? std::string("null") : hoverJson(*db, x, y, ap);
            },
            kCallWait);
        if (!json)
            return refuse(res, 503, "busy: a command is running");
        res.set_content(*json, "application/json");
    });
    s.Post("/api/view", [this](const Request &req, Response &res) {
        auto cx = number(req, "cx"), cy = number(req, "cy"), h = number(req, "h"),
             aspect = number(req, "aspect");
        auto done = hub->call(
            [=] {
                AcDbDatabase *db = acdbHostApplicationServices()->workingDatabase();
                return std::string(db != nullptr && takePageView(*db, cx, cy, h, aspect) ? "1"
                                                                                         : "");
            },
            kCallWait);
        if (!done)
            return refuse(res, 503, "busy: a command is running");
        if (done->empty())
            return refuse(res, 400, "a view needs cx, cy, h > 0 and aspect > 0");
        res.status = 204;
    });
    s.Post("/api/answer", [this](const Request &req, Response &res) {
        std::vector<Item> items;
        std::size_t n = req.get_param_value_count("a");
        for (std::size_t i = 0; i < n; ++i) {
            auto item = parseItem(req.get_param_value("a", i));
            if (!item)
                return refuse(res, 400, "an answer is L<text>, E or P<aperture> <point>");
            items.push_back(std::move(*item));
        }
        if (items.empty() || items.size() > 16)
            return refuse(res, 400, "from 1 to 16 answers at a time");
        hub->post(std::move(items));
        res.status = 204;
    });
}

ViewServer::ViewServer(std::shared_ptr<Hub> hub) : impl_(std::make_unique<Impl>()) {
    impl_->hub = std::move(hub);
    impl_->texts = pageTextsJson();
}

ViewServer::~ViewServer() {
    stop();
}

bool ViewServer::start(const std::string &address, int port, std::string &error) {
    auto server = std::make_unique<HttpServer>();
    impl_->routes(*server);
    port = server->listen(address, port, error);
    if (port == 0)
        return false;
    impl_->address = address;
    impl_->port = port;
    std::string p = ":" + std::to_string(port);
    impl_->allowedHosts = {address + p};
    if (address == "127.0.0.1" || address == "::1" || address == "localhost")
        impl_->allowedHosts.insert({"127.0.0.1" + p, "localhost" + p, "[::1]" + p});
    else if (address.find(':') != std::string::npos)
        impl_->allowedHosts.insert("[" + address + "]" + p);
    if (address == "127.0.0.1") { // the IPv6 loopback too, where the machine has it
        std::string ignored;
        (void)server->listen("::1", port, ignored);
    }
    impl_->server = std::move(server);
    impl_->server->start();
    return true;
}

void ViewServer::stop() {
    if (impl_->server)
        impl_->server->stop();
    impl_->server.reset();
}

std::string ViewServer::url() const {
    std::string host =
        impl_->address.find(':') != std::string::npos ? "[" + impl_->address + "]" : impl_->address;
    return "http://" + host + ":" + std::to_string(impl_->port) + "/?token=" + impl_->token;
}

} // namespace host::view
