#pragma once
// Per-pixel energy calibration: ToT = a·E + b − c / (E − t), solved for the energy E in keV.
#include <string>
#include <vector>

namespace zel::clusterer {

class Calibration {
public:
    // Loads the four matrices of `directory` (width columns, height lines each; line = y, column = x).
    // Accepted file names: a.txt, b.txt, c.txt, t.txt in either letter case, optionally prefixed "cal_" or "calib".
    // False with a reason in `error` when a matrix is missing or malformed.
    bool load(const std::string& directory, int width, int height, std::string& error);

    bool loaded() const { return !a_.empty(); }

    // Energy of a pixel from its ToT; ToT 0 gives 0. `nonReal` is set when the equation has no real root (0 keV).
    double energy(int x, int y, double tot, bool& nonReal) const {
        size_t cell = static_cast<size_t>(y) * static_cast<size_t>(width_) + static_cast<size_t>(x);
        return solveEnergy(a_[cell], b_[cell], c_[cell], t_[cell], tot, nonReal);
    }

    // The larger root of a·E² + (b − a·t − ToT)·E + (ToT·t − b·t − c) = 0, which is the surrogate function
    // multiplied by (E − t). A degenerate a = 0 leaves the linear equation.
    static double solveEnergy(double a, double b, double c, double t, double tot, bool& nonReal);

    // Path of the matrix file for `letter` ('a', 'b', 'c' or 't') in `directory`; empty when none is found.
    static std::string findMatrixFile(const std::string& directory, char letter);

private:
    int width_ = 0;
    std::vector<double> a_, b_, c_, t_;
};

}  // namespace zel::clusterer
