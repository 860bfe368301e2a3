#pragma once

#include <string>

namespace folioport {

/// The updater's one error type; describe(error) is what the user reads in errorMessage.
struct UpdateError {
    enum class Kind {
        badFeed,
        badDownload,
        signature,
        versionMismatch,
        badBuildNumber,
        notNewer,
        notWritable,
        unsafeFolder,
        notInstalled,
        checksumMismatch
    };

    Kind kind;
    /// badFeed, badDownload: the detail; signature: why the seal check failed; versionMismatch: the version
    /// found in the bundle; badBuildNumber, notNewer: the bundle's build number; notWritable: the path of the
    /// installed bundle; unsafeFolder: the folder others can write to; notInstalled: why the swap gave up
    std::string text;
    /// versionMismatch: the version the manifest promised; notNewer: the running build number
    std::string expectedVersion;

    static UpdateError badFeed(std::string detail) { return {Kind::badFeed, std::move(detail), {}}; }
    static UpdateError badDownload(std::string detail) { return {Kind::badDownload, std::move(detail), {}}; }
    static UpdateError signature(std::string output) { return {Kind::signature, std::move(output), {}}; }
    static UpdateError versionMismatch(std::string found, std::string expected) {
        return {Kind::versionMismatch, std::move(found), std::move(expected)};
    }
    static UpdateError badBuildNumber(std::string build) { return {Kind::badBuildNumber, std::move(build), {}}; }
    static UpdateError notNewer(std::string build, std::string runningBuild) {
        return {Kind::notNewer, std::move(build), std::move(runningBuild)};
    }
    static UpdateError notWritable(std::string path) { return {Kind::notWritable, std::move(path), {}}; }
    static UpdateError unsafeFolder(std::string folder) { return {Kind::unsafeFolder, std::move(folder), {}}; }
    static UpdateError notInstalled(std::string why) { return {Kind::notInstalled, std::move(why), {}}; }
    static UpdateError checksumMismatch() { return {Kind::checksumMismatch, {}, {}}; }

    bool operator==(const UpdateError&) const = default;
};

/// The user-facing sentence of an error.
std::string describe(const UpdateError& error);

}  // namespace folioport
