#pragma once
// A seam fake that fails chosen opens and writes (as a read-only file or a full disk would); every
// other call reaches the system.

#include <cstdint>
#include <string>

#include "os/Interposer.h"

namespace QuorlinTest {

class FailingOs : public Quorlin::os::Interposer {
public:
    FailingOs() : m_Previous(Quorlin::os::Interpose(this)) {}
    ~FailingOs() override { Quorlin::os::Interpose(m_Previous); }
    Quorlin::os::Status OpenFile(std::wstring_view name, Quorlin::os::Access access, Quorlin::os::Disposition disposition,
                                 std::uint32_t share, Quorlin::os::NativeFile& file) override
    {
        opens.push_back(disposition == Quorlin::os::Disposition::CreateAlways ? 'W'
                        : access == Quorlin::os::Access::Write                ? 'A'
                                                                              : 'R');
        if (failAppendOpen && access == Quorlin::os::Access::Write && disposition == Quorlin::os::Disposition::OpenExisting)
            return Quorlin::os::FromNative(accessDeniedCode);
        return Quorlin::os::Interposer::OpenFile(name, access, disposition, share, file);
    }
    Quorlin::os::Status WriteToFile(Quorlin::os::NativeFile file, const void* data, std::uint32_t size,
                                    std::uint32_t& written) override
    {
        if (failWrites) {
            written = 0;
            return Quorlin::os::FromNative(diskFullCode);
        }
        return Quorlin::os::Interposer::WriteToFile(file, data, size, written);
    }
    bool failAppendOpen = false;
    bool failWrites = false;
    std::uint32_t accessDeniedCode = 5;
    std::uint32_t diskFullCode = 112;
    std::string opens;

private:
    Quorlin::os::Interposer* m_Previous;
};

}  // namespace QuorlinTest
