#include "updater/Updater.h"

#include <arpa/inet.h>

#include <QTimer>
#include <QUrl>

#include "platform/HttpTransport.h"
#include "async/OffThread.h"
#include "updater/SwapScript.h"
#include "updater/UpdateError.h"
#include "updater/VersionOrder.h"
#include "updater/WorkFolders.h"

namespace folioport {
namespace {

/// Room for the reason line of a failed swap's note, beside the offer it holds.
constexpr std::size_t noteReasonBytes = 64 << 10;

/// GETs the feed past any cache and decodes it; blocking, for the pool.
std::expected<UpdateManifest, UpdateError> fetchManifest(std::string url, std::size_t limit, std::stop_token stop) {
    auto response = platform::HttpTransport::send({.method = "GET",
                                                   .url = std::move(url),
                                                   .headers = {{"Cache-Control", "no-cache"}, {"Pragma", "no-cache"}},
                                                   .body = std::nullopt,
                                                   .timeout = std::chrono::seconds(20),
                                                   .maxBodyBytes = limit},
                                                  stop);
    if (!response && response.error().kind == platform::HttpFailure::Kind::tooLarge)
        return std::unexpected(UpdateError::badFeed("the feed is larger than " + readableSize(limit)));
    if (!response) return std::unexpected(UpdateError::network(response.error().message));
    if (response->status != 200) return std::unexpected(UpdateError::badFeed("HTTP " + std::to_string(response->status)));
    auto manifest = decodeManifest(response->body);
    if (!manifest) return std::unexpected(UpdateError::badManifest(std::move(manifest.error())));
    return std::move(*manifest);
}

}  // namespace

Updater::Updater(UpdaterOptions options, QObject* parent)
    : QObject(parent), options_(std::move(options)), periodicCheck_(new QTimer(this)) {
    connect(periodicCheck_, &QTimer::timeout, this, [this] { check(periodicFeedURL_, false); });
    const auto installed = options_.installedBundle();
    if (!installed) return;
    if (auto failed = takeSwapFailure(*installed, options_.limits.feedBytes + noteReasonBytes)) {
        // why: this copy was started by a swap that gave up; the offer comes back with the reason, and the
        // check that found it counts as just made, so the launch check does not clear the reason at once.
        available_ = std::move(failed->offer);
        errorMessage_ = describe(UpdateError::notInstalled(std::move(failed->reason)));
        lastCheck_ = QDateTime::currentDateTimeUtc();
    }
    pool_.start([bundle = *installed] { removeStaleStaging(bundle); });
}

Updater::~Updater() {
    stop_.request_stop();
    pool_.waitForDone();
}

void Updater::start(const std::string& feedURL, bool autoUpdate) {
    periodicCheck_->stop();
    if (!autoUpdate || updatesThroughPackageManager()) return;
    QTimer::singleShot(options_.launchDelay, this, [this, feedURL] { check(feedURL, false); });
    periodicFeedURL_ = feedURL;
    periodicCheck_->start(options_.period);
}

void Updater::check(const std::string& feedURL, bool manual) {
    if (isChecking_) return;
    if (!manual && lastCheck_ &&
        lastCheck_->msecsTo(QDateTime::currentDateTimeUtc()) < options_.throttle.count())
        return;
    assign(isChecking_, true, &Updater::isCheckingChanged);
    assign(errorMessage_, {}, &Updater::errorMessageChanged);
    if (manual) assign(status_, {"Checking…"}, &Updater::statusChanged);

    const auto url = encodedURL(feedURL, "feed");
    if (!url) return finishCheck(std::unexpected(UpdateError::badFeed(url.error())), manual);
    runOffThread(
        pool_, this,
        withoutExceptions([url = *url, limit = options_.limits.feedBytes,
                           stop = stop_.get_token()] { return fetchManifest(url, limit, stop); },
                          UpdateError::badFeed),
        [this, manual](CheckOutcome outcome) { finishCheck(std::move(outcome), manual); });
}

void Updater::finishCheck(CheckOutcome outcome, bool manual) {
    assign(lastCheck_, {QDateTime::currentDateTimeUtc()}, &Updater::lastCheckChanged);
    if (!outcome) {
        // why: a failed check keeps what an earlier one found; only a manual check speaks up.
        assign(status_, {}, &Updater::statusChanged);
        if (manual) assign(errorMessage_, {describe(outcome.error())}, &Updater::errorMessageChanged);
    } else if (const std::string running = options_.runningVersion(); compareVersions(outcome->version, running) > 0) {
        assign(available_, {std::move(*outcome)}, &Updater::availableChanged);
        assign(status_, {}, &Updater::statusChanged);
    } else {
        assign(available_, {}, &Updater::availableChanged);
        assign(status_, manual ? std::optional("You're on the latest version (v" + running + ").") : std::nullopt,
               &Updater::statusChanged);
    }
    assign(isChecking_, false, &Updater::isCheckingChanged);
}

void Updater::dismiss() {
    assign(dismissedVersion_, available_ ? std::optional(available_->version) : std::nullopt,
           &Updater::dismissedVersionChanged);
}

std::expected<std::string, std::string> Updater::encodedURL(const std::string& text, const std::string& kind) {
    const QUrl url(QString::fromStdString(text), QUrl::StrictMode);
    if (text.empty() || !url.isValid()) return std::unexpected("bad " + kind + " URL");
    // why: the feed is unsigned; over plain http anyone on the way could offer any signed build. Loopback
    // stays open for tests and a local mirror.
    in_addr address{};
    const std::string host = url.host().toStdString();
    const bool loopback = host == "::1" || (::inet_pton(AF_INET, host.c_str(), &address) == 1 &&
                                            (ntohl(address.s_addr) >> 24) == 127);
    if (url.scheme() != "https" && !(url.scheme() == "http" && loopback))
        return std::unexpected("the " + kind + " address does not start with https://");
    return url.toEncoded().toStdString();
}

}  // namespace folioport
