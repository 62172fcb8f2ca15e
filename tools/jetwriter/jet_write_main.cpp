// jet-write OUT.mdb NAME=FILE.tsv [...]: builds a Jet 4 database from typed TSV files.
#include "JetWriter.h"

#include <exception>
#include <fstream>
#include <iostream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        throw std::runtime_error("cannot read " + path);
    }
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

int usage() {
    std::cerr << "usage: jet-write OUT.mdb NAME=FILE.tsv [NAME=FILE.tsv ...]\n";
    return 1;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        return usage();
    }
    const std::string out = argv[1];
    try {
        std::vector<jetwriter::Table> tables;
        for (int i = 2; i < argc; ++i) {
            const std::string arg = argv[i];
            const std::size_t eq = arg.find('=');
            if (eq == std::string::npos || eq == 0 || eq + 1 == arg.size()) {
                std::cerr << "jet-write: expected NAME=FILE.tsv, got '" << arg << "'\n";
                return usage();
            }
            const std::string file = arg.substr(eq + 1);
            try {
                tables.push_back(jetwriter::readTypedTsv(arg.substr(0, eq), readFile(file)));
            } catch (const std::invalid_argument& e) {
                throw std::invalid_argument(file + ": " + e.what());
            }
        }
        // Validates everything before touching the disk; the file appears by rename.
        jetwriter::writeDatabaseFile(out, tables);
    } catch (const std::exception& e) {
        std::cerr << "jet-write: " << e.what() << "\n";
        return 1;
    }
    return 0;
}
