#include <gtest/gtest.h>

#include <fstream>
#include <stdexcept>
#include <string>

#include "rpc/TokenFile.h"

using krv::rpc::readTokenFile;

namespace {

std::string fileHolding(const std::string& name, const std::string& content) {
    const std::string path = ::testing::TempDir() + "/krv-token-" + name;
    std::ofstream(path, std::ios::binary) << content;
    return path;
}

std::string refusalOf(const std::string& path) {
    try {
        readTokenFile(path);
    } catch (const std::runtime_error& e) {
        return e.what();
    }
    return "accepted";
}

TEST(TokenFile, ReadsTheFirstLineAndRefusesAnEmptyToken) {
    EXPECT_EQ(readTokenFile(fileHolding("plain", "segredo")), "segredo");
    EXPECT_EQ(readTokenFile(fileHolding("blanks", " \tsegredo com espaço \r\nsegunda linha\n")), "segredo com espaço");

    // An empty token would turn authentication off without a word.
    for (const char* content : {"", "\n", " \t\r\nsegredo na segunda linha\n"})
        EXPECT_NE(refusalOf(fileHolding("empty", content)).find("está vazio"), std::string::npos) << content;
    EXPECT_NE(refusalOf(::testing::TempDir() + "/krv-token-nao-existe").find("Não foi possível ler"),
              std::string::npos);
}

}  // namespace
