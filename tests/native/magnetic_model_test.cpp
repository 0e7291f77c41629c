// The World Magnetic Model against the 12 test points of its technical report
// (tests/data/magnetic/), every printed digit of the field, its intensities
// and angles.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "pointing/magnetic_model.h"

namespace {

const char kTestValues[] = ZENTRIK_TEST_DATA_DIR "/magnetic/WMM2025_TEST_VALUES_REPORT.txt";

// One row of the report, with its numbers as the report prints them.
struct TestPoint {
    double Year, HeightKm, Latitude, Longitude;
    std::string Printed[7];  // X, Y, Z, H, F (0.1 nT), inclination, declination (0.01 degree)
};

std::vector<TestPoint> ReadTestPoints() {
    std::vector<TestPoint> points;
    std::ifstream file(kTestValues);
    std::string line;
    while (std::getline(file, line)) {
        if (line.empty() || line[0] == '#') continue;
        std::istringstream fields(line);
        TestPoint p;
        fields >> p.Year >> p.HeightKm >> p.Latitude >> p.Longitude;
        for (std::string& printed : p.Printed) fields >> printed;
        points.push_back(p);
    }
    return points;
}

std::string Printed(double value, int decimals) {
    char text[32];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

}  // namespace

TEST(MagneticModel, ReproducesTheReportsTestPointsToThePrintedDigits) {
    const std::vector<TestPoint> points = ReadTestPoints();
    ASSERT_EQ(points.size(), 12u);
    for (const TestPoint& p : points) {
        const MagneticField f = ComputeMagneticField(p.Latitude, p.Longitude, p.HeightKm, p.Year);
        const double values[7] = {f.North, f.East, f.Down, f.Horizontal, f.Total, f.Inclination, f.Declination};
        for (int i = 0; i < 7; ++i)
            EXPECT_EQ(Printed(values[i], i < 5 ? 1 : 2), p.Printed[i])
                << "field " << i << " at " << p.Year << ", " << p.HeightKm << " km, " << p.Latitude << ", "
                << p.Longitude;
    }
}

TEST(MagneticModel, CoversItsFiveYears) {
    EXPECT_FALSE(MagneticModelCovers(2024.999));
    EXPECT_TRUE(MagneticModelCovers(2025.0));
    EXPECT_TRUE(MagneticModelCovers(2029.999));
    EXPECT_FALSE(MagneticModelCovers(2030.0));
}

TEST(MagneticModel, StaysFiniteUpToThePolesAndAcrossTheDateLine) {
    for (double latitude : {-89.999999, -45.0, 0.0, 45.0, 89.999999})
        for (double longitude : {-180.0, -0.000001, 0.0, 179.999999, 180.0}) {
            const MagneticField f = ComputeMagneticField(latitude, longitude, 0.0, 2027.0);
            EXPECT_TRUE(std::isfinite(f.Declination) && std::isfinite(f.Horizontal)) << latitude << ", " << longitude;
            EXPECT_GT(f.Total, 20000.0);
        }
    // Near the north magnetic pole the needle has little to hold it.
    EXPECT_LT(ComputeMagneticField(86.0, 140.0, 0.0, 2026.0).Horizontal, kWeakHorizontalFieldNt);
    EXPECT_GT(ComputeMagneticField(48.1, 11.6, 0.0, 2026.0).Horizontal, kWeakHorizontalFieldNt);
}
