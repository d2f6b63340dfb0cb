// The table of fixture cases that make_fixtures.py writes beside the fixtures (cases.txt), so
// that the unit tests, the JVM test and the wine test all check the same rows.
#pragma once

#include <fstream>
#include <string>
#include <vector>

struct FixtureCase {
    std::string file;
    std::string expected;
    std::string where; // "all", or "posix" where only our own reader is held to the row
    std::string what;
};

inline std::vector<FixtureCase> loadFixtureCases(const std::string &dir)
{
    std::vector<FixtureCase> cases;
    std::ifstream in(dir + "/cases.txt");
    std::string line;
    while (std::getline(in, line)) {
        FixtureCase c;
        std::string *fields[] = {&c.file, &c.expected, &c.where, &c.what};
        std::size_t start = 0;
        for (std::string *field : fields) {
            const std::size_t tab = line.find('\t', start);
            *field = line.substr(start, tab == std::string::npos ? std::string::npos : tab - start);
            start = tab == std::string::npos ? line.size() : tab + 1;
        }
        if (!c.file.empty())
            cases.push_back(c);
    }
    return cases;
}
