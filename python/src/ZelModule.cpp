// The Python module zel._core: the 72 exported functions under their own names, plus the event-list reader.
// Vectors come back as numpy arrays, out-arguments as returned tuples (code first). Every call releases the GIL
// while the engine works and holds one lock, so that two Python threads never reach the engine at once; a runtime
// error raised by the engine becomes zel.ZelError with its code.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <algorithm>
#include <cstdlib>
#include <mutex>
#include <stdexcept>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "zel/ZEL_API.h"
#include "EventListTable.h"

namespace py = pybind11;

namespace {

using Matrix = std::vector<std::vector<double>>;

// A runtime error of the engine on its way to Python.
struct EngineRaised {
    int code;
    std::string message;
};

std::mutex& engineMutex() {
    static std::mutex mutex;
    return mutex;
}

// The engine raises a runtime error whose message is the decimal code.
int codeOf(const std::runtime_error& error) {
    char* end = nullptr;
    const long code = std::strtol(error.what(), &end, 10);
    return end != error.what() && code < 0 && code > -1000000 ? static_cast<int>(code) : -1;
}

// Runs `work` without the GIL and under the engine lock; a runtime error leaves as EngineRaised.
template <typename Work>
auto callEngine(Work&& work) {
    py::gil_scoped_release noGil;
    std::lock_guard lock(engineMutex());
    try {
        return work();
    } catch (const std::runtime_error& error) {
        throw EngineRaised{codeOf(error), error.what()};
    }
}

// One copy of the values into an array that owns them from then on: the vector moves into the array's base.
py::array_t<double> toArray(std::vector<double>&& values) {
    auto* owned = new std::vector<double>(std::move(values));
    py::capsule base(owned, [](void* p) { delete static_cast<std::vector<double>*>(p); });
    return py::array_t<double>(static_cast<py::ssize_t>(owned->size()), owned->data(), base);
}

// A list of rows as one 2D array (one copy) when the rows have one length, else as a list of 1D arrays: a
// histogram's edges and contents differ in length.
py::object toArray(Matrix&& rows) {
    const size_t columns = rows.empty() ? 0 : rows.front().size();
    const bool rectangular =
        std::all_of(rows.begin(), rows.end(), [columns](const auto& row) { return row.size() == columns; });
    if (!rectangular) {
        py::list list;
        for (auto& row : rows) list.append(toArray(std::move(row)));
        return list;
    }
    py::array_t<double> out({rows.size(), columns});
    double* into = out.mutable_data();
    for (const auto& row : rows) into = std::copy(row.begin(), row.end(), into);
    return out;
}

template <typename Value>
Value toPython(Value&& value) {
    return std::forward<Value>(value);
}
py::array_t<double> toPython(std::vector<double>&& values) { return toArray(std::move(values)); }
py::object toPython(Matrix&& rows) { return toArray(std::move(rows)); }

// Binds a function whose arguments are all inputs.
template <typename Result, typename... Args>
void bindPlain(py::module_& m, const char* name, Result (*function)(Args...)) {
    m.def(name, [function](Args... args) {
        Result result = callEngine([&] { return function(std::move(args)...); });
        return toPython(std::move(result));
    });
}

// Binds a function that writes one out-argument: Python gets (code, value).
template <typename Out>
void bindOut(py::module_& m, const char* name, int (*function)(Out&)) {
    m.def(name, [function]() {
        Out value{};
        const int code = callEngine([&] { return function(value); });
        return std::make_tuple(code, toPython(std::move(value)));
    });
}

// The same with a trailing interval argument (0 means the sampling time).
template <typename Out>
void bindOutInterval(py::module_& m, const char* name, int (*function)(Out&, double)) {
    m.def(
        name,
        [function](double interval) {
            Out value{};
            const int code = callEngine([&] { return function(value, interval); });
            return std::make_tuple(code, toPython(std::move(value)));
        },
        py::arg("interval") = 0.0);
}

// Rows of a 2D array (or anything numpy turns into one) as the engine's list of rows.
Matrix rowsOf(const py::array_t<double, py::array::c_style | py::array::forcecast>& array) {
    if (array.ndim() != 2) throw py::value_error("clusters must be a 2D array of one row per cluster");
    const auto view = array.unchecked<2>();
    Matrix rows(static_cast<size_t>(view.shape(0)));
    for (py::ssize_t r = 0; r < view.shape(0); ++r) {
        const double* first = view.data(r, 0);
        rows[static_cast<size_t>(r)].assign(first, first + view.shape(1));
    }
    return rows;
}

void bindLifecycle(py::module_& m) {
    bindPlain(m, "construct", &zel::construct);
    bindPlain(m, "destruct", &zel::destruct);
    bindPlain(m, "loadParamFile", &zel::loadParamFile);
    bindPlain(m, "init", &zel::init);
    m.def(
        "processFile",
        [](std::string a, std::string b, std::string c) {
            return callEngine([&] { return zel::processFile(std::move(a), std::move(b), std::move(c)); });
        },
        py::arg("a") = "", py::arg("b") = "", py::arg("c") = "");
    m.def("processClusters", [](const py::array_t<double, py::array::c_style | py::array::forcecast>& clusters) {
        Matrix rows = rowsOf(clusters);
        return callEngine([&] { return zel::processClusters(std::move(rows)); });
    });
    bindPlain(m, "reset", &zel::reset);
    bindPlain(m, "resetCurrDataStorage", &zel::resetCurrDataStorage);
    bindPlain(m, "print", &zel::print);
    bindPlain(m, "version", &zel::version);
}

void bindSetters(py::module_& m) {
    bindPlain(m, "setFileInPath", &zel::setFileInPath);
    bindPlain(m, "setFileOutPath", &zel::setFileOutPath);
    bindPlain(m, "setModelPath", &zel::setModelPath);
    bindPlain(m, "setFileInNames", &zel::setFileInNames);
    bindPlain(m, "setClusterVarOrder", &zel::setClusterVarOrder);
    bindPlain(m, "setTimeSampling", &zel::setTimeSampling);
    bindPlain(m, "setTimeAcquisition", &zel::setTimeAcquisition);
    bindPlain(m, "setDoExportClist", &zel::setDoExportClist);
    bindPlain(m, "setDoExportGraphics", &zel::setDoExportGraphics);
    bindPlain(m, "setDoLog", &zel::setDoLog);
    bindPlain(m, "setDoPrint", &zel::setDoPrint);
    bindPlain(m, "setComCamProjectionDist", &zel::setComCamProjectionDist);
}

void bindGetters(py::module_& m) {
    bindPlain(m, "getFileInPath", &zel::getFileInPath);
    bindPlain(m, "getFileOutPath", &zel::getFileOutPath);
    bindPlain(m, "getDoExportClist", &zel::getDoExportClist);
    bindPlain(m, "getSamplingTime", &zel::getSamplingTime);
    bindPlain(m, "getPIDClassNames", &zel::getPIDClassNames);

    using Total = double (*)();
    for (auto [name, function] : {std::pair<const char*, Total>{"getCountParticle", &zel::getCountParticle},
                                  {"getCountRate", &zel::getCountRate}, {"getEnergyDep", &zel::getEnergyDep},
                                  {"getDose", &zel::getDose}, {"getDoseRate", &zel::getDoseRate},
                                  {"getFluence", &zel::getFluence}, {"getFlux", &zel::getFlux}})
        bindPlain(m, name, function);

    using Series = std::vector<double> (*)();
    for (auto [name, function] :
         {std::pair<const char*, Series>{"getCountParticleTime", &zel::getCountParticleTime},
          {"getCountRateTime", &zel::getCountRateTime}, {"getEnergyDepTime", &zel::getEnergyDepTime},
          {"getDoseTime", &zel::getDoseTime}, {"getDoseRateTime", &zel::getDoseRateTime},
          {"getFluenceTime", &zel::getFluenceTime}, {"getFluxTime", &zel::getFluxTime},
          {"getElapsedTimes", &zel::getElapsedTimes}})
        bindPlain(m, name, function);

    using ClassSeries = Matrix (*)();
    for (auto [name, function] :
         {std::pair<const char*, ClassSeries>{"getCountParticleTimeClass", &zel::getCountParticleTimeClass},
          {"getCountRateTimeClass", &zel::getCountRateTimeClass},
          {"getEnergyDepTimeClass", &zel::getEnergyDepTimeClass}, {"getDoseTimeClass", &zel::getDoseTimeClass},
          {"getDoseRateTimeClass", &zel::getDoseRateTimeClass}, {"getFluenceTimeClass", &zel::getFluenceTimeClass},
          {"getFluxTimeClass", &zel::getFluxTimeClass}, {"sensMatrixInt", &zel::sensMatrixInt},
          {"sensMatrixSample", &zel::sensMatrixSample}})
        bindPlain(m, name, function);
    bindPlain(m, "getHist1DAll", &zel::getHist1DAll);
    bindPlain(m, "getHist2DAll", &zel::getHist2DAll);
}

void bindCurrentValues(py::module_& m) {
    bindOut(m, "getCurrentCountParticle", &zel::getCurrentCountParticle);
    bindOut(m, "getCurrentEnergyDep", &zel::getCurrentEnergyDep);
    bindOut(m, "getCurrentDose", &zel::getCurrentDose);
    bindOut(m, "getCurrentFluence", &zel::getCurrentFluence);
    bindOutInterval(m, "getCurrentCountRate", &zel::getCurrentCountRate);
    bindOutInterval(m, "getCurrentDoseRate", &zel::getCurrentDoseRate);
    bindOutInterval(m, "getCurrentFlux", &zel::getCurrentFlux);
    bindOut(m, "getCurrentCountParticleClass", &zel::getCurrentCountParticleClass);
    bindOut(m, "getCurrentEnergyDepClass", &zel::getCurrentEnergyDepClass);
    bindOut(m, "getCurrentDoseClass", &zel::getCurrentDoseClass);
    bindOut(m, "getCurrentFluenceClass", &zel::getCurrentFluenceClass);
    bindOutInterval(m, "getCurrentCountRateClass", &zel::getCurrentCountRateClass);
    bindOutInterval(m, "getCurrentDoseRateClass", &zel::getCurrentDoseRateClass);
    bindOutInterval(m, "getCurrentFluxClass", &zel::getCurrentFluxClass);
}

void bindImaging(py::module_& m) {
    // The outputs start from the values the caller hands in, which the engine leaves untouched before any
    // particle was counted.
    m.def(
        "radFieldRecognition",
        [](std::string name, double score) {
            const int code = callEngine([&] { return zel::radFieldRecognition(name, score); });
            return std::make_tuple(code, name, score);
        },
        py::arg("name") = "", py::arg("score") = -1.0);
    bindOut(m, "getComCamProjection", &zel::getComCamProjection);
    bindOut(m, "getComCamTestProjection", &zel::getComCamTestProjection);
    m.def("getComCamProjectionMaxVal", [] {
        double value = -1.0;
        const int code = callEngine([&] { return zel::getComCamProjectionMaxVal(value); });
        return std::make_tuple(code, value);
    });
    m.def("getComCamProjectionNBins", [] {
        int nx = -1;
        int ny = -1;
        const int code = callEngine([&] { return zel::getComCamProjectionNBins(nx, ny); });
        return std::make_tuple(code, nx, ny);
    });
}

// The whole event list as one 2D array, with its names and units. Reading needs no engine and takes no lock.
void bindEventListReader(py::module_& m) {
    m.def("readEventList", [](const std::string& path, const std::string& name) {
        zel::python::EventListTable table;
        {
            py::gil_scoped_release noGil;
            table = zel::python::readEventListTable(path, name);
        }
        if (table.code != 0) throw EngineRaised{table.code, table.message};
        py::array_t<double> values({table.rows, table.names.size()});
        std::copy(table.values.begin(), table.values.end(), values.mutable_data());
        return std::make_tuple(values, table.names, table.units);
    });
}

}  // namespace

PYBIND11_MODULE(_core, m) {
    m.doc() = "The exported functions of the zel library, one engine per process.";
    py::register_exception_translator([](std::exception_ptr raised) {
        try {
            if (raised) std::rethrow_exception(raised);
        } catch (const EngineRaised& error) {
            py::object type = py::module_::import("zel.errors").attr("ZelError");
            PyErr_SetObject(type.ptr(), type(error.code, error.message).ptr());
        }
    });
    bindLifecycle(m);
    bindSetters(m);
    bindGetters(m);
    bindCurrentValues(m);
    bindImaging(m);
    bindEventListReader(m);
}
