#pragma once

#include <QTemporaryDir>
#include <QTest>

#include <nlohmann/json.hpp>

#include <chrono>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "FakeConfluence.h"
#include "state/AppStore.h"
#include "updater/Updater.h"

namespace folioport::testing {

/// A fake site (with its gateway), a store whose preferences live in a temporary file (token "test-token" in memory only,
/// unless tokenFromKeyring) and an updater that cannot install; what the store copies and opens is recorded.
struct WindowFixture {
    std::unique_ptr<QTemporaryDir> dir = std::make_unique<QTemporaryDir>();
    std::unique_ptr<fake::FakeConfluence> site;
    std::unique_ptr<AppStore> store;
    std::unique_ptr<Updater> updater;
    std::vector<std::string> copied;
    std::vector<std::string> opened;
    std::string preferencesFile = dir->filePath(QStringLiteral("preferences.json")).toStdString();
    std::chrono::milliseconds minute = std::chrono::minutes(1);  ///< the store's refresh minute, set before start
    QDateTime clock;  ///< the store's wall clock; the real one while invalid
    bool tokenFromKeyring = false;  ///< the store keeps what the keyring gave it

    /// Starts the site and builds store and updater on `stored` preferences (the site's account added).
    bool start(nlohmann::json stored = nlohmann::json::object()) {
        auto started = fake::FakeConfluence::start(fake::SiteData::minimal(), {.gatewayPort = 0});
        if (!started) return false;
        site = std::move(*started);
        nlohmann::json preferences{{"baseURL", site->baseURL()}, {"email", "mia@example.com"}, {"refreshMinutes", 0}};
        preferences.update(stored);
        std::ofstream(preferencesFile) << preferences.dump();
        store = std::make_unique<AppStore>(AppStoreOptions{
            .preferencesFile = preferencesFile,
            .minute = minute,
            .now = [this] { return clock.isValid() ? clock : QDateTime::currentDateTime(); },
            .copyText = [this](const std::string& text) { copied.push_back(text); },
            .openURL = [this](const QUrl& address) { opened.push_back(address.toString().toStdString()); },
            .gatewayRoot = site->gatewayURL()});
        if (!QTest::qWaitFor([this] { return !store->isReadingSettings(); }, 5000)) return false;
        if (!tokenFromKeyring) store->editSettings([](StoredSettings& settings) { settings.apiToken = "test-token"; });
        updater = std::make_unique<Updater>(UpdaterOptions{.launchDelay = std::chrono::milliseconds(0),
                                                           .runningVersion = [] { return std::string("1.0"); },
                                                           .installedBundle = [] { return std::nullopt; }});
        return true;
    }

    /// The preferences file as stored now.
    std::string storedPreferences() const {
        std::ifstream in(preferencesFile);
        return {std::istreambuf_iterator<char>(in), {}};
    }

    /// The request lines ("METHOD path?query") whose path is `path`, in order.
    std::vector<std::string> requestsTo(const std::string& path) const {
        std::vector<std::string> found;
        for (std::string& line : site->requestLines()) {
            const std::string target = line.substr(line.find(' ') + 1);
            if (target.starts_with(path) && (target.size() == path.size() || target[path.size()] == '?'))
                found.push_back(std::move(line));
        }
        return found;
    }
};

}  // namespace folioport::testing
