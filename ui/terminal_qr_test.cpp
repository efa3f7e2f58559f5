// What the console host prints for other devices: a code only under an address the
// certificate holds, each note under its address, and the code's frame of light modules.
#include "ui/terminal_qr.h"

#include <gtest/gtest.h>

#include "common/text.h"

namespace {

// The lines of the text, without their ends.
std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
        lines.push_back(text.substr(start, end - start));
    }
    return lines;
}

TEST(TerminalQr, OnlyAnAddressTheCertificateHoldsGetsACode) {
    struct Case {
        DeviceAddress address;
        std::vector<std::string> notes;  // the lines between the address and its code or the end
        bool code;
    };
    const std::string virtualNote = "    virtual adapter, usually not reachable from a phone";
    const std::string laterNote = "    not in the certificate yet: after the next server start";
    const std::string authorityNote =
        "    not in the certificate, and its authority cannot add it: needs a new authority (MakeCertificate "
        "/newauthority; make-certificate --new-authority on Linux) and a new trust step on every device";
    const std::string userPairNote =
        "    not in the certificate placed here (server.crt): a phone would warn of another name";
    const Case cases[] = {
        {{L"https://pc-7.local/", "pc-7.local", L"", false, CertificateCover::Holds}, {}, true},
        {{L"https://10.1.2.3:8443/", "10.1.2.3", L"eth0", false, CertificateCover::AfterNextStart}, {laterNote}, false},
        {{L"https://pc-7.corp.example/", "pc-7.corp.example", L"", false, CertificateCover::NeedsNewAuthority},
         {authorityNote},
         false},
        {{L"https://172.20.16.1/", "172.20.16.1", L"virbr0", true, CertificateCover::Holds}, {virtualNote}, true},
        {{L"https://10.8.0.2/", "10.8.0.2", L"tun0", true, CertificateCover::NeedsNewAuthority},
         {virtualNote, authorityNote},
         false},
        {{L"https://10.1.2.4/", "10.1.2.4", L"eth1", false, CertificateCover::NotInUsersPair}, {userPairNote}, false},
    };
    for (const Case& c : cases) {
        const std::vector<std::string> lines = Lines(OtherDevicesReport({c.address}, true));
        const std::string url = WideToUtf8(c.address.url);
        const std::string adapter = WideToUtf8(c.address.adapter);
        ASSERT_GE(lines.size(), 3 + c.notes.size()) << url;
        EXPECT_EQ(lines[0], "Other devices on this network can open:");
        EXPECT_EQ(lines[1], "");
        EXPECT_EQ(lines[2], "  " + url + (adapter.empty() ? "" : "  (" + adapter + ")"));
        const auto codeStart = lines.begin() + 3 + static_cast<std::ptrdiff_t>(c.notes.size());
        EXPECT_EQ(std::vector<std::string>(lines.begin() + 3, codeStart), c.notes) << url;
        const std::vector<std::string> code = TerminalQrLines(EncodeQr(url));
        const std::vector<std::string> after(codeStart, lines.end());
        EXPECT_EQ(after, c.code ? code : std::vector<std::string>{}) << url;
    }

    // The frame of the code: the quiet zone is light (full blocks) above, and the half row
    // under the last one, odd in count, is the terminal's background.
    const QrModules modules = EncodeQr("https://pc-7.local/");
    const std::vector<std::string> code = TerminalQrLines(modules);
    const std::size_t width = static_cast<std::size_t>(modules.size + 2 * kQrQuietZone);
    ASSERT_EQ(code.size(), (width + 1) / 2);
    std::string full, upper;
    for (std::size_t i = 0; i < width; ++i) full += "\u2588", upper += "\u2580";
    EXPECT_EQ(code.front(), full);
    EXPECT_EQ(code.back(), upper);
    EXPECT_TRUE(TerminalQrLines(QrModules{}).empty());
}

TEST(TerminalQr, NoAdapterUpIsToldAndTheComputersNameStillListed) {
    const DeviceAddress local{L"https://pc-7.local/", "pc-7.local", L"", false, CertificateCover::AfterNextStart};
    const std::vector<std::string> lines = Lines(OtherDevicesReport({local}, false));
    ASSERT_GE(lines.size(), 4u);
    EXPECT_EQ(lines[0], "No network adapter is up: other devices can reach this computer only once one is connected.");
    EXPECT_EQ(lines[1], "Other devices on this network can open:");
    EXPECT_EQ(lines[3], "  https://pc-7.local/");
}

}  // namespace
