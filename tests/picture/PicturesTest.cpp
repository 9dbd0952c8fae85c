#include "ui/picture/Pictures.h"

#include "base/Errors.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include <jpeglib.h>

namespace velora {
namespace {

using Bytes = std::vector<unsigned char>;

constexpr PictureLanguage kLanguages[] = {PictureLanguage::English, PictureLanguage::Russian};

Bytes EmbeddedBytes(PictureLanguage language) {
    const auto jpeg = DonationPictureJpeg(language);
    return Bytes(jpeg.begin(), jpeg.end());
}

// The message DecodeJpeg throws, or "" when it decodes without complaint.
std::string DecodeFailure(const Bytes& jpeg) {
    try {
        DecodeJpeg(jpeg);
    } catch (const Exception& e) {
        return e.what();
    }
    return "";
}

void ExpectDecodeFailure(const Bytes& jpeg, const std::string& what) {
    const std::string message = DecodeFailure(jpeg);
    ASSERT_EQ(message.rfind(msg::kJpegDecodeFailed, 0), 0u) << what << ": \"" << message << "\"";
    EXPECT_GT(message.size(), std::string(msg::kJpegDecodeFailed).size()) << what << " gives no reason";
}

struct FrameInfo {
    std::size_t Offset = 0;
    int SofMarker = 0;
    int Width = 0;
    int Height = 0;
};

// Walks the marker segments up to the first start-of-frame.
FrameInfo ReadFrameInfo(const Bytes& jpeg) {
    EXPECT_GE(jpeg.size(), 4u);
    EXPECT_EQ(jpeg[0], 0xFF);
    EXPECT_EQ(jpeg[1], 0xD8);
    std::size_t at = 2;
    while (at + 4 <= jpeg.size() && jpeg[at] == 0xFF) {
        const int marker = jpeg[at + 1];
        const std::size_t length = jpeg[at + 2] << 8 | jpeg[at + 3];
        const bool isSof = marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
        if (isSof && at + 9 <= jpeg.size()) {
            return {at, marker, jpeg[at + 7] << 8 | jpeg[at + 8], jpeg[at + 5] << 8 | jpeg[at + 6]};
        }
        at += 2 + length;
    }
    ADD_FAILURE() << "no start-of-frame marker";
    return {};
}

Bytes EncodeJpeg(int width, int height, int components, bool progressive, const Bytes& pixels) {
    jpeg_compress_struct info{};
    jpeg_error_mgr error{};
    info.err = jpeg_std_error(&error);
    jpeg_create_compress(&info);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &buffer, &size);
    info.image_width = static_cast<JDIMENSION>(width);
    info.image_height = static_cast<JDIMENSION>(height);
    info.input_components = components;
    info.in_color_space = components == 1 ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, 95, TRUE);
    if (progressive) jpeg_simple_progression(&info);
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < info.image_height) {
        JSAMPROW row = const_cast<unsigned char*>(pixels.data()) + info.next_scanline * width * components;
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    Bytes jpeg(buffer, buffer + size);
    std::free(buffer);
    return jpeg;
}

TEST(DonationPictures, AreBaselineJpegsOf400By350) {
    for (const PictureLanguage language : kLanguages) {
        const FrameInfo frame = ReadFrameInfo(EmbeddedBytes(language));
        EXPECT_EQ(frame.SofMarker, 0xC0) << "not baseline (SOF0)";
        EXPECT_EQ(frame.Width, 400);
        EXPECT_EQ(frame.Height, 350);
    }
}

TEST(DonationPictures, DecodeTo400By350Rgb) {
    for (const PictureLanguage language : kLanguages) {
        const DecodedPicture picture = DecodeDonationPicture(language);
        EXPECT_EQ(picture.Width, 400);
        EXPECT_EQ(picture.Height, 350);
        EXPECT_EQ(picture.Rgb.size(), 400u * 350u * 3u);
    }
}

TEST(DonationPictures, ShowDrawnContentNotAnEmptyPage) {
    for (const PictureLanguage language : kLanguages) {
        const DecodedPicture picture = DecodeDonationPicture(language);
        double sum = 0, squares = 0;
        const std::size_t count = picture.Rgb.size() / 3;
        for (std::size_t i = 0; i < count; ++i) {
            const double luma =
                0.299 * picture.Rgb[3 * i] + 0.587 * picture.Rgb[3 * i + 1] + 0.114 * picture.Rgb[3 * i + 2];
            sum += luma;
            squares += luma * luma;
        }
        const double mean = sum / count;
        EXPECT_GT(std::sqrt(squares / count - mean * mean), 20.0) << "picture is nearly uniform";
    }
}

TEST(DonationPictures, DifferBetweenTheLanguages) {
    const DecodedPicture english = DecodeDonationPicture(PictureLanguage::English);
    const DecodedPicture russian = DecodeDonationPicture(PictureLanguage::Russian);
    ASSERT_EQ(english.Rgb.size(), russian.Rgb.size());
    std::size_t differing = 0;
    for (std::size_t i = 0; i < english.Rgb.size(); i += 3) {
        int distance = 0;
        for (int c = 0; c < 3; ++c) distance += std::abs(english.Rgb[i + c] - russian.Rgb[i + c]);
        if (distance > 48) ++differing;
    }
    EXPECT_GT(differing, english.Rgb.size() / 3 / 50) << "fewer than 2% of the pixels differ";
}

// FNV-1a over the decoded pixels. The Linux build decodes with the system's
// libjpeg-turbo, the Windows build with one built from the same Debian
// sources: the dialog shows the same pixels on both.
std::uint64_t PixelDigest(const DecodedPicture& picture) {
    std::uint64_t hash = 0xcbf29ce484222325u;
    for (const unsigned char byte : picture.Rgb) hash = (hash ^ byte) * 0x100000001b3u;
    return hash;
}

TEST(DonationPictures, DecodeToTheSamePixelsOnEverySystem) {
    EXPECT_EQ(PixelDigest(DecodeDonationPicture(PictureLanguage::English)), 0xc4f9b05a61f4dc05u);
    EXPECT_EQ(PixelDigest(DecodeDonationPicture(PictureLanguage::Russian)), 0x361da4056d7daf9eu);
}

TEST(DonationPictures, UnknownLanguageIsRefused) {
    EXPECT_THROW(DonationPictureJpeg(static_cast<PictureLanguage>(2)), Exception);
}

// Every cut through the headers, then a spread of cuts through the scan,
// including the ones that lose only the end-of-image marker.
TEST(DecodeJpeg, RefusesEveryTruncation) {
    const Bytes whole = EmbeddedBytes(PictureLanguage::English);
    std::vector<std::size_t> cuts;
    for (std::size_t n = 0; n < 1024; ++n) cuts.push_back(n);
    for (std::size_t n = 1024; n < whole.size(); n += 211) cuts.push_back(n);
    cuts.push_back(whole.size() - 2);
    cuts.push_back(whole.size() - 1);
    for (const std::size_t n : cuts) {
        ExpectDecodeFailure(Bytes(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(n)),
                            "cut at " + std::to_string(n));
    }
}

TEST(DecodeJpeg, RefusesInputThatIsNoJpeg) {
    std::mt19937 generator(7);
    Bytes noise(4096);
    for (auto& b : noise) b = static_cast<unsigned char>(generator());
    Bytes noiseAfterSoi = noise;
    noiseAfterSoi[0] = 0xFF;
    noiseAfterSoi[1] = 0xD8;
    const std::vector<std::pair<std::string, Bytes>> inputs = {
        {"empty", {}},
        {"noise", noise},
        {"noise after a start-of-image marker", noiseAfterSoi},
        {"PNG signature", {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A, 0, 0, 0, 13, 'I', 'H', 'D', 'R'}},
        {"start-of-image only", {0xFF, 0xD8}},
        {"zeros", Bytes(512, 0)},
    };
    for (const auto& [what, bytes] : inputs) ExpectDecodeFailure(bytes, what);
}

TEST(DecodeJpeg, RefusesForgedPictureSizes) {
    const Bytes whole = EmbeddedBytes(PictureLanguage::English);
    const FrameInfo frame = ReadFrameInfo(whole);
    ASSERT_EQ(frame.SofMarker, 0xC0);
    const std::size_t sof = frame.Offset;
    const auto withSize = [&](unsigned width, unsigned height) {
        Bytes forged = whole;
        forged[sof + 5] = static_cast<unsigned char>(height >> 8);
        forged[sof + 6] = static_cast<unsigned char>(height);
        forged[sof + 7] = static_cast<unsigned char>(width >> 8);
        forged[sof + 8] = static_cast<unsigned char>(width);
        return forged;
    };
    // Honouring this header would take 10 GB of pixels.
    EXPECT_EQ(DecodeFailure(withSize(60000, 60000)),
              "Cannot decode the JPEG picture: 60000x60000 pixels is more than the 16777216 allowed");
    EXPECT_NE(DecodeFailure(withSize(4097, 4096)).find("allowed"), std::string::npos);
    // At the limit the header is accepted; the scan, made for 400x350, then runs short.
    const std::string atLimit = DecodeFailure(withSize(4096, 4096));
    EXPECT_EQ(atLimit.rfind(msg::kJpegDecodeFailed, 0), 0u) << atLimit;
    EXPECT_EQ(atLimit.find("allowed"), std::string::npos) << atLimit;
    ExpectDecodeFailure(withSize(400, 0), "zero height");
    ExpectDecodeFailure(withSize(0, 350), "zero width");
    ExpectDecodeFailure(withSize(65535, 1), "beyond libjpeg's dimension limit");
}

class DecodeJpegRoundTrip : public testing::TestWithParam<bool> {};

TEST_P(DecodeJpegRoundTrip, GivesRgbRowsTopToBottom) {
    constexpr int kWidth = 40, kHeight = 32;
    Bytes pixels;
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            const bool top = y < kHeight / 2;
            pixels.insert(pixels.end(),
                          {static_cast<unsigned char>(top ? 250 : 0), 0, static_cast<unsigned char>(top ? 0 : 250)});
        }
    }
    const DecodedPicture picture = DecodeJpeg(EncodeJpeg(kWidth, kHeight, 3, GetParam(), pixels));
    ASSERT_EQ(picture.Width, kWidth);
    ASSERT_EQ(picture.Height, kHeight);
    ASSERT_EQ(picture.Rgb.size(), pixels.size());
    const auto at = [&](int x, int y, int c) { return picture.Rgb[(y * kWidth + x) * 3 + c]; };
    EXPECT_GT(at(20, 3, 0), 200);
    EXPECT_LT(at(20, 3, 2), 60);
    EXPECT_LT(at(20, 28, 0), 60);
    EXPECT_GT(at(20, 28, 2), 200);
}

INSTANTIATE_TEST_SUITE_P(BaselineAndProgressive, DecodeJpegRoundTrip, testing::Bool());

TEST(DecodeJpeg, ExpandsGreyscaleToRgb) {
    const DecodedPicture picture = DecodeJpeg(EncodeJpeg(24, 8, 1, false, Bytes(24 * 8, 180)));
    ASSERT_EQ(picture.Rgb.size(), 24u * 8u * 3u);
    for (std::size_t i = 0; i < picture.Rgb.size(); i += 3) {
        EXPECT_EQ(picture.Rgb[i], picture.Rgb[i + 1]);
        EXPECT_EQ(picture.Rgb[i], picture.Rgb[i + 2]);
        EXPECT_NEAR(picture.Rgb[i], 180, 3);
    }
}

}  // namespace
}  // namespace velora
