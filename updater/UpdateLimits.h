#pragma once

#include <chrono>
#include <cstdint>
#include <string>

namespace folioport {

/// How much of the outside world an update may bring, and how slowly; beyond a limit the update stops with
/// a sentence. The defaults stand far above a real release (0.8 MB zipped, 1.9 MB unpacked) and are the
/// README's list.
struct UpdateLimits {
    std::size_t feedBytes = 1 << 20;                  ///< the feed as decoded
    std::size_t archiveBytes = std::size_t(256) << 20;  ///< the downloaded archive
    std::size_t unpackedBytes = std::size_t(1) << 30;  ///< all files of the archive together, as unpacked
    std::size_t entries = 20000;                      ///< entries in the archive
    std::size_t depth = 32;                           ///< folders above an entry inside the archive
    std::size_t manifestBytes = 16 << 20;             ///< the seal's manifest
    std::size_t signatureBytes = 1024;                ///< the seal's signature file
    /// The download fails when less than lowSpeedBytes arrive in each of lowSpeedTime, or when all of it
    /// takes longer than downloadTime.
    std::size_t lowSpeedBytes = 1024;
    std::chrono::seconds lowSpeedTime{30};
    std::chrono::seconds downloadTime{30 * 60};
};

/// `bytes` in the units a person reads: "1 MB", "256 MB", "1 GB", or bytes below a kilobyte.
std::string readableSize(std::size_t bytes);

/// `time` as "30 seconds", "1 second" or, in whole minutes, "30 minutes".
std::string readableDuration(std::chrono::seconds time);

}  // namespace folioport
