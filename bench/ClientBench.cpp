// A panel load against the fake site over HTTPS with 20 ms of latency per request: the current user and
// the spaces at once, then the pages of one space. Pooled connections against a new connection per request;
// the counter "tls_handshakes" is per load, as counted by the site.

#include <future>

#include <benchmark/benchmark.h>

#include "FakeConfluence.h"
#include "TestCertificate.h"
#include "confluence/ConfluenceClient.h"
#include "platform/HttpTransport.h"

namespace {

using folioport::ConfluenceClient;
using folioport::fake::FakeConfluence;

FakeConfluence& site() {
    static std::unique_ptr<FakeConfluence> fake = [] {
        const auto& certificate = folioport::testing::testCertificate();
        folioport::fake::SiteData data = folioport::fake::SiteData::minimal();
        for (int i = 0; i < 60; ++i) {
            folioport::fake::FakePage page = data.pages.front();
            page.id = data.nextId();
            page.title = "Page " + std::to_string(i);
            data.pages.push_back(page);
        }
        auto started = FakeConfluence::start(std::move(data),
                                             {.tls = folioport::fake::TlsFiles{certificate.certificateFile,
                                                                               certificate.privateKeyFile},
                                              .port = 0,
                                              .logFile = {}});
        if (!started) std::abort();
        (*started)->setLatency(std::chrono::milliseconds(20));
        return std::move(*started);
    }();
    return *fake;
}

bool loadPanel(const ConfluenceClient& client) {
    auto user = std::async(std::launch::async, [&] { return client.currentUser(); });
    auto spaces = client.spaces(250);
    if (!user.get() || !spaces) return false;
    auto chosen = std::ranges::find(*spaces, std::string("ENG"), &folioport::Space::key);
    return chosen != spaces->end() && client.pages(chosen->id, 50).has_value();
}

void panelLoad(benchmark::State& state, bool pooled) {
    FakeConfluence& fake = site();
    folioport::platform::HttpTransport::configure(
        {.certificateAuthorityFile = folioport::testing::testCertificate().certificateFile,
         .reuseConnections = pooled,
         .userAgent = "Folioport"});
    ConfluenceClient client({fake.baseURL(), "mia@example.com", "test-token"});
    int handshakesBefore = fake.tlsHandshakes();
    for (auto _ : state) {
        if (!loadPanel(client)) {
            state.SkipWithError("a request of the panel load failed");
            break;
        }
    }
    state.counters["tls_handshakes"] = benchmark::Counter(static_cast<double>(fake.tlsHandshakes() - handshakesBefore),
                                                          benchmark::Counter::kAvgIterations);
}

BENCHMARK_CAPTURE(panelLoad, pooled, true)->UseRealTime()->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK_CAPTURE(panelLoad, new_connection_per_request, false)->UseRealTime()->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace
