#include "objects/TImageUtil.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>

#include "Accessors.h"
#include "Runtime.h"
#include "layout_test_support.h"
#include "objects/image_test_support.h"

using namespace nv;
using namespace nv::testing_support;

namespace {

Value Resolve(const Value& value, const char* type = "auto") {
  return TImageUtil::New()->Resolver(value, Value(type));
}

std::string Mime(const Value& result) { return ValueString(HGet(result, "mime")); }
std::string Uri(const Value& result) { return ValueString(HGet(result, "dataUri")); }
std::string Error(const Value& result) { return ValueString(HGet(result, "error")); }

void ExpectImage(const Value& result, const std::string& mime, const std::string& bytes) {
  EXPECT_EQ(Keys(result), (std::vector<std::string>{"mime", "dataUri", "error"}));
  EXPECT_EQ(Mime(result), mime);
  EXPECT_EQ(Uri(result), "data:" + mime + ";base64," + Base64Encode(bytes));
  EXPECT_EQ(Error(result), "");
}

void ExpectUnavailable(const Value& result) {
  EXPECT_EQ(Keys(result), (std::vector<std::string>{"mime", "dataUri", "error"}));
  EXPECT_EQ(Mime(result), "");
  EXPECT_EQ(Uri(result), "");
  EXPECT_EQ(Error(result), "Imagen no disponible");
}

using ImageUtilFiles = ImageFolder;

}  // namespace

TEST_F(ImageUtilFiles, ContentSignaturesWinOverTheExtension) {
  ExpectImage(Resolve(Value(Write("a.png", PngBytes()))), "image/png", PngBytes());
  // Relative to the working directory, and trimmed.
  ExpectImage(Resolve(Value("  a.png ")), "image/png", PngBytes());
  ExpectImage(Resolve(Value(Write("png-named.jpg", PngBytes()))), "image/png", PngBytes());
  ExpectImage(Resolve(Value(Write("photo.bin", JpegBytes()))), "image/jpeg", JpegBytes());
  ExpectImage(Resolve(Value(Write("old.dat", "GIF87a...."))), "image/gif", "GIF87a....");
  ExpectImage(Resolve(Value(Write("new.dat", "GIF89a...."))), "image/gif", "GIF89a....");
  ExpectImage(Resolve(Value(Write("pic.dat", WebpBytes()))), "image/webp", WebpBytes());
  // Unknown bytes take the type of the extension, in any case; an unknown extension is no image.
  ExpectImage(Resolve(Value(Write("x.GIF", "plain bytes"))), "image/gif", "plain bytes");
  ExpectImage(Resolve(Value(Write("x.jpeg", "plain bytes"))), "image/jpeg", "plain bytes");
  ExpectImage(Resolve(Value(Write("x.webp", "plain bytes"))), "image/webp", "plain bytes");
  ExpectUnavailable(Resolve(Value(Write("x.bmp", "plain bytes"))));
  ExpectUnavailable(Resolve(Value("missing.png")));
}

TEST_F(ImageUtilFiles, PublicFolderIsSearchedWithAndWithoutItsPrefix) {
  Write("public/img/a.png", PngBytes());
  ExpectImage(Resolve(Value("img/a.png")), "image/png", PngBytes());
  Write("img/b.png", JpegBytes());
  ExpectImage(Resolve(Value("public/img/b.png")), "image/jpeg", JpegBytes());
  ExpectImage(Resolve(Value("PUBLIC\\img\\b.png")), "image/jpeg", JpegBytes());
}

TEST_F(ImageUtilFiles, DataSourceTypesNeverReadFiles) {
  Write("a.png", PngBytes());
  for (const char* type : {"datos", " DATOS ", "datos_binarios"}) {
    ExpectUnavailable(Resolve(Value("a.png"), type));
    const std::string uri = "data:image/png;base64," + Base64Encode(PngBytes());
    ExpectImage(Resolve(Value(uri), type), "image/png", PngBytes());
    ExpectImage(Resolve(Value(PngBytes()), type), "image/png", PngBytes());
  }
  EXPECT_EQ(FileReads(), 0);
  // "dato" is not a data type: the file is read.
  ExpectImage(Resolve(Value("a.png"), "dato"), "image/png", PngBytes());
}

TEST(ImageUtil, DataUrisAreDecodedStrictlyAndKeepTheirDeclaredType) {
  const std::string png = PngBytes();
  ExpectImage(Resolve(Value("data:image/png;base64," + Base64Encode(png))), "image/png", png);
  // The declared type wins over the bytes and is lower-cased; the marker is found in any case.
  ExpectImage(Resolve(Value("DATA:IMAGE/GIF;Base64," + Base64Encode(png))), "image/gif", png);
  ExpectImage(Resolve(Value("data:image/svg+xml;base64," + Base64Encode("<svg/>"))), "image/svg+xml", "<svg/>");
  // Unpadded Base64 is accepted and comes back canonical, padded.
  ExpectImage(Resolve(Value("data:image/png;base64,QUJD")), "image/png", "ABC");
  ExpectImage(Resolve(Value("data:image/png;base64,QUI")), "image/png", "AB");
  EXPECT_EQ(Uri(Resolve(Value("data:image/png;base64,QQ"))), "data:image/png;base64,QQ==");

  // Malformed URIs fall through to the value as bytes, which are no image.
  for (const std::string bad : {"data:image/;base64,QUJD", "data:image/png;base64,", "data:image/p?g;base64,QUJD",
                                "data:image/png;base64,QU\nJD", "data:image/png;base64,QU=JD", "data:image/png;base64,Q",
                                "data:image/png;base64,QUJD QUJD", "data:image/png;base64,Q===",
                                "data:text/plain;base64,QUJD", "data:image/pngbase64,QUJD"}) {
    ExpectUnavailable(Resolve(Value(bad)));
  }
}

TEST(ImageUtil, ValuesThatAreNoImageGiveTheError) {
  ExpectImage(Resolve(Value(PngBytes())), "image/png", PngBytes());
  ExpectImage(Resolve(Value(JpegBytes())), "image/jpeg", JpegBytes());
  ExpectUnavailable(Resolve(Value("unknown bytes")));
  ExpectUnavailable(Resolve(Value("")));
  ExpectUnavailable(Resolve(Value("   ")));
  ExpectUnavailable(Resolve(Value::Int(5)));
  ExpectUnavailable(Resolve(Value()));
  ExpectUnavailable(Resolve(Value::NewHash()));
  // Twelve bytes are needed to see the WebP mark.
  ExpectUnavailable(Resolve(Value(std::string("RIFF\0\0\0\0WEB", 11))));
}

TEST_F(ImageUtilFiles, EmptyFileIsNoImageWhateverItsExtension) {
  ExpectUnavailable(Resolve(Value(Write("empty.png", ""))));
}

TEST_F(ImageUtilFiles, PathWithNulCrOrLfIsNeverUsedAsAFile) {
  // Before, the name was cut at the NUL and "a.png" was read.
  Write("a.png", PngBytes());
  for (const std::string& value : {std::string("a.png\0.txt", 10), std::string("a.png\n"), std::string("a.png\r")}) {
    ExpectUnavailable(Resolve(Value(value)));
  }
  EXPECT_EQ(FileReads(), 0);
}

TEST_F(ImageUtilFiles, FifoDeviceOrDirectoryIsNotReadAndDoesNotBlock) {
  // Opening a FIFO without a writer would block the run for good, and /dev/zero never ends.
  ASSERT_EQ(::mkfifo("pipe.png", 0600), 0);
  ExpectUnavailable(Resolve(Value("pipe.png")));
  ExpectUnavailable(Resolve(Value("/dev/zero")));
  std::filesystem::create_directory("folder.png");
  ExpectUnavailable(Resolve(Value("folder.png")));
}

TEST_F(ImageUtilFiles, FileOverTheSizeLimitIsRefusedWithAReason) {
  const std::string big = PngBytes() + std::string(100, 'x');
  Write("big.png", big);
  auto util = TImageUtil::New();
  util->SetMaxFileBytes(big.size() - 1);
  ExpectUnavailable(util->Resolver(Value("big.png"), Value("auto")));
  EXPECT_EQ(util->MotivoRechazo(), "Imagen demasiado grande: big.png supera " + std::to_string(big.size() - 1) + " bytes");
  // Not taken for image bytes either: the refusal ends the resolution.
  util->SetMaxFileBytes(big.size());
  ExpectImage(util->Resolver(Value("big.png"), Value("auto")), "image/png", big);
  EXPECT_EQ(util->MotivoRechazo(), "");
}
