#include "engine/SettingsTable.h"

namespace zel {
namespace {

using Names = std::array<std::string_view, 4>;

constexpr SettingKey keyOf(Names names, SettingKind kind) {
    SettingKey row;
    row.names = names;
    row.kind = kind;
    return row;
}

constexpr SettingKey textKey(Names names, std::string Settings::*member) {
    SettingKey row = keyOf(names, SettingKind::Text);
    row.text = member;
    return row;
}

constexpr SettingKey listKey(Names names, std::string Settings::*single, std::vector<std::string> Settings::*list) {
    SettingKey row = keyOf(names, SettingKind::TextOrList);
    row.text = single;
    row.list = list;
    return row;
}

constexpr SettingKey intKey(Names names, int Settings::*member) {
    SettingKey row = keyOf(names, SettingKind::Int);
    row.integer = member;
    return row;
}

constexpr SettingKey doubleKey(Names names, double Settings::*member) {
    SettingKey row = keyOf(names, SettingKind::Double);
    row.real = member;
    return row;
}

constexpr SettingKey switchKey(Names names, bool Settings::*member) {
    SettingKey row = keyOf(names, SettingKind::Switch);
    row.flag = member;
    return row;
}

// A name ending selects a multi-file run, whose clusterer outputs must survive from one input to the next.
void selectMultiFileByEnding(Settings& settings, const MessageTarget&) {
    settings.DoMultiFile = !settings.FileInNameEnd.empty();
    if (settings.DoMultiFile) settings.DoRemoveOldElist = false;
}

void keepOldElistInMultiFile(Settings& settings, const MessageTarget&) {
    if (settings.DoMultiFile) settings.DoRemoveOldElist = false;
}

void switchClogOn(Settings& settings, const MessageTarget&) { settings.DoCreateClog = true; }

void switchMaskOn(Settings& settings, const MessageTarget&) { settings.DoMask = true; }

// Without export subdirectories these results go straight into the output directory.
void flattenExportDirs(Settings& settings, const MessageTarget&) {
    if (settings.DoCreateExportDir) return;
    settings.ExportDirFile.clear();
    settings.ExportDirHist.clear();
    settings.ExportDirGraph.clear();
    settings.ExportDirEventVisual.clear();
    settings.ExportDirSpatialMap.clear();
    settings.ExportDirSigVec.clear();
}

void applyLengthCorr(Settings& settings, const MessageTarget& to) {
    selectLengthCorr(settings, settings.LengthCorr, to);
}

void markItotCount(Settings& settings, const MessageTarget&) { settings.MeasModeItotCount = true; }

// The "FileOutName" spellings set the same member as "SamplingListName". The "Hist1DGraphicsRebin" spellings
// carry the digit of "1D", so their value is the second number of the line.
constexpr SettingKey kSettingKeys[] = {
    textKey({"FileInPath", "FileIn_Path", "file_in_path"}, &Settings::FileInPath),
    listKey({"FileInName", "FileIn_Name", "file_in_name"}, &Settings::FileInName, &Settings::FileInNames),
    textKey({"FileInNameEnd", "FileIn_NameEnd", "file_in_name_end"}, &Settings::FileInNameEnd)
        .then(selectMultiFileByEnding),
    intKey({"FileInCount", "FileIn_Count", "file_in_count"}, &Settings::FileInCount),
    switchKey({"DoMultiFile", "do_multi_file"}, &Settings::DoMultiFile).then(keepOldElistInMultiFile),
    textKey({"FileOutPath", "FileOut_Path", "file_out_path"}, &Settings::FileOutPath),
    textKey({"FileOutName", "FileOut_Name", "file_out_name"}, &Settings::SamplingListName),
    textKey({"SamplingListBaseName", "SamplingList_BaseName", "sampling_list_base_name"},
            &Settings::SamplingListBaseName).notUsedYet(),
    textKey({"SamplingListName", "SamplingList_Name", "sampling_list_name"}, &Settings::SamplingListName),
    textKey({"SamplingListPath", "SamplingList_Path", "sampling_list_path"}, &Settings::SamplingListPath),
    textKey({"SamplingListJsonName", "SamplingListJSON_Name", "FileOutJSON_Name", "sampling_list_json_name"},
            &Settings::SamplingListJsonName),
    textKey({"SamplingListJsonPath", "SamplingListJSON_Path", "FileOutJSON_Path", "sampling_list_json_path"},
            &Settings::SamplingListJsonPath),
    textKey({"FrameListBaseName", "FrameList_BaseName", "frame_list_base_name"}, &Settings::FrameListBaseName).notUsedYet(),
    textKey({"FrameListName", "FrameList_Name", "frame_list_name"}, &Settings::FrameListName),
    textKey({"FrameListJsonName", "FrameListJSON_Name", "frame_list_json_name"}, &Settings::FrameListJsonName),
    textKey({"CoincEventListBaseName", "CoincEventList_BaseName", "coinc_event_list_base_name"},
            &Settings::CoincEventListBaseName).notUsedYet(),
    textKey({"CoincEventListName", "CoincEventList_Name", "coinc_event_list_name"}, &Settings::CoincEventListName),
    textKey({"CoincEventListJsonName", "CoincEventListJSON_Name", "coinc_event_list_json_name"},
            &Settings::CoincEventListJsonName),
    textKey({"RadFieldRecogListBaseName", "RadFieldRecogList_BaseName", "rfr_list_base_name"},
            &Settings::RadFieldRecogListBaseName).notUsedYet(),
    textKey({"RadFieldRecogListName", "RadFieldRecogList_Name", "rfr_list_name"}, &Settings::RadFieldRecogListName).notUsedYet(),
    textKey({"RadFieldRecogListJsonName", "RadFieldRecogListJSON_Name", "rfr_list_json_name"},
            &Settings::RadFieldRecogListJsonName).notUsedYet(),
    textKey({"DirectionListBaseName", "DirectionList_BaseName", "direction_list_base_name"},
            &Settings::DirectionListBaseName).notUsedYet(),
    textKey({"DirectionListName", "DirectionList_Name", "direction_list_name"}, &Settings::DirectionListName),
    textKey({"DirectionListJsonName", "DirectionListJSON_Name", "direction_list_json_name"},
            &Settings::DirectionListJsonName),
    textKey({"ComptonListBaseName", "ComptonList_BaseName", "compton_list_base_name"}, &Settings::ComptonListBaseName).notUsedYet(),
    textKey({"ComptonListName", "ComptonList_Name", "compton_list_name"}, &Settings::ComptonListName),
    textKey({"ComptonListJsonName", "ComptonListJSON_Name", "compton_list_json_name"}, &Settings::ComptonListJsonName),
    textKey({"LogName", "FileLog_Name", "log_name"}, &Settings::LogName),
    textKey({"LogPath", "FileLog_Path", "log_path"}, &Settings::LogPath),
    switchKey({"DoLog", "do_log"}, &Settings::DoLog),
    switchKey({"DoLogDateTime", "do_log_date_time"}, &Settings::DoLogDateTime),
    switchKey({"DoLogVersion", "do_log_version"}, &Settings::DoLogVersion),
    switchKey({"DoLogClustererCmd", "do_log_clusterer_cmd"}, &Settings::DoLogClustererCmd),
    switchKey({"DoPrint", "DoPrintOut", "do_print"}, &Settings::DoPrint),
    switchKey({"DoCheckPrereq", "do_check_prereq"}, &Settings::DoCheckPrereq),
    switchKey({"DoAbortAfterFileRec"}, &Settings::DoAbortAfterFileRec),
    switchKey({"DoAbortAfterParamRead", "AbortAfterParamRead", "do_abort_after_param_read"},
              &Settings::DoAbortAfterParamRead),
    switchKey({"DoRemoveTempDirAtStart", "DoRemoveTempDirStart", "do_remove_temp_dir_at_start"},
              &Settings::DoRemoveTempDirAtStart).notUsedYet(),
    switchKey({"DoCreateExportDir"}, &Settings::DoCreateExportDir).then(flattenExportDirs),
    switchKey({"DoExportText", "do_export_text"}, &Settings::DoExportText),
    switchKey({"DoExportGraphics", "do_export_graphics"}, &Settings::DoExportGraphics),
    switchKey({"DoSkipCreateGraphics", "do_skip_create_graphics"}, &Settings::DoSkipCreateGraphics),
    switchKey({"DoGraphicsMultiThread", "DoGraphicsMultiProc", "do_graphics_multi_thread"},
              &Settings::DoGraphicsMultiThread),
    doubleKey({"GraphicsMultiThreadFileSize", "GraphicsMultiProc_FileSizeLimit", "graphics_multi_thread_file_size"},
              &Settings::GraphicsMultiThreadFileSize),
    intKey({"Hist1DGraphicsRebin", "NumRebinPlot_Hist1D", "hist1d_graphics_rebin"}, &Settings::Hist1DGraphicsRebin)
        .fromNumber(1),
    intKey({"ClusterImageCount", "NClustIndivPlot", "cluster_image_count"}, &Settings::ClusterImageCount),
    intKey({"ClusterCountInSensImage", "NClustSensPlot", "cluster_counc_in_sens_image"},
           &Settings::ClusterCountInSensImage),
    switchKey({"DoWeb", "do_web"}, &Settings::DoWeb),
    textKey({"ClustererName", "FileClusterer_Name", "clusterer_name"}, &Settings::ClustererName),
    textKey({"ClustererPath", "FileClusterer_Path", "clusterer"}, &Settings::ClustererPath),
    switchKey({"DoRunClusterer", "do_run_clusterer"}, &Settings::DoRunClusterer),
    switchKey({"DoRunClustererCmd", "do_run_clusterer_cmd"}, &Settings::DoRunClustererCmd),
    switchKey({"DoClustererLog", "do_clusterer_log"}, &Settings::DoClustererLog),
    switchKey({"DoClustererExtElist"}, &Settings::DoClustererExtElist).notUsedYet(),
    switchKey({"DoCreateClog", "do_create_clog"}, &Settings::DoCreateClog),
    textKey({"ClogOutName", "ClogOut_Name", "clog_out_name"}, &Settings::ClogOutName).then(switchClogOn),
    switchKey({"DoRemoveOldElist", "do_remove_old_elist"}, &Settings::DoRemoveOldElist),
    switchKey({"DoReprocElist"}, &Settings::DoReprocElist),
    switchKey({"DoCreateElistExt", "DoElistExtended", "do_create_elist_ext"}, &Settings::DoCreateElistExt),
    switchKey({"DoRemoveElist", "do_remove_elist"}, &Settings::DoRemoveElist),
    switchKey({"DoExportElistExtFilter", "DoExportElistFilter", "do_export_elist_ext_filter"},
              &Settings::DoExportElistExtFilter),
    switchKey({"DoExportElistExtSensEdge", "DoExportElistSensEdge", "do_export_elist_ext_sens_edge"},
              &Settings::DoExportElistExtSensEdge),
    textKey({"ElistOutName", "ElistOut_Name", "elist_out_name"}, &Settings::ElistOutName),
    textKey({"ElistExtOutName", "ExtElistOut_Name", "elist_ext_out_name"}, &Settings::ElistExtOutName),
    switchKey({"DoExportCList", "do_export_clist"}, &Settings::DoExportCList),
    textKey({"CListName", "clist_name"}, &Settings::CListName),
    textKey({"CListExtName", "clist_ext_name"}, &Settings::CListExtName),
    switchKey({"DoRemoveClist", "do_remove_clist"}, &Settings::DoRemoveClist).notUsedYet(),
    switchKey({"DoExportClistExtFilter", "DoExportClistFilter", "do_export_clist_ext_filter"},
              &Settings::DoExportClistExtFilter),
    switchKey({"DoExportClistExtSensEdge", "DoExportClistSensEdge", "do_export_clist_ext_sens_edge"},
              &Settings::DoExportClistExtSensEdge),
    textKey({"CalMat", "CalMatrices_Path", "CalMat_Path", "cal_mat"}, &Settings::CalMat),
    switchKey({"IsEnergyCalibrated", "is_energy_calibrated"}, &Settings::IsEnergyCalibrated),
    switchKey({"DoTpxHighEnergyCorr", "DoTPXHighEnergyCorr", "do_ptx_high_energy_corr"},
              &Settings::DoTpxHighEnergyCorr),
    textKey({"MeasMode", "meas_mode"}, &Settings::MeasMode).only("itot+count").then(markItotCount),
    textKey({"ChipType", "chip_type"}, &Settings::ChipType),
    textKey({"SensMat", "sens_mat"}, &Settings::SensMat),
    doubleKey({"SensDens", "SensMatDensity", "SensMat_Density", "sens_dens"}, &Settings::SensDens),
    doubleKey({"SensThick", "sens_thick"}, &Settings::SensThick),
    doubleKey({"SensBias", "sens_bias"}, &Settings::SensBias),
    intKey({"SensWidth", "sens_width"}, &Settings::SensWidth),
    intKey({"SensHeight", "sens_height"}, &Settings::SensHeight),
    intKey({"DataOriginSwitch", "DataOrigin_Num"}, &Settings::DataOriginSwitch).notUsedYet(),
    doubleKey({"TimeSampling", "time_sampling"}, &Settings::TimeSampling),
    doubleKey({"TimeAcq", "T_DataAcq", "time_acq"}, &Settings::TimeAcq),
    doubleKey({"TimeFirst", "time_first"}, &Settings::TimeFirst),
    doubleKey({"TimeFrameAcq", "T_Frame_Acq", "T_FrameAcq", "time_frame_acq"}, &Settings::TimeFrameAcq),
    doubleKey({"TimeFrameDead", "T_Frame_Dead", "T_FrameDead", "time_frame_dead"}, &Settings::TimeFrameDead).notUsedYet(),
    switchKey({"IsClusterTimeIn_ns"}, &Settings::IsClusterTimeIn_ns).notUsedYet(),
    doubleKey({"TimeCoinc", "TimeCoincGroup", "T_CoincGroup", "time_coinc"}, &Settings::TimeCoinc),
    intKey({"ClusterCount", "NClusters", "cluster_count"}, &Settings::ClusterCount),
    doubleKey({"MaxFrameOccupancy", "max_frame_occupancy"}, &Settings::MaxFrameOccupancy),
    doubleKey({"MaxPixelCountProc", "max_pixel_count_proc"}, &Settings::MaxPixelCountProc),
    intKey({"LengthCorr", "LengthCorrSwitch", "length_corr"}, &Settings::LengthCorr).then(applyLengthCorr),
    switchKey({"DoIgnoreClusterSensEdge", "do_ignore_cluster_sens_edge"}, &Settings::DoIgnoreClusterSensEdge),
    switchKey({"DoPID", "do_pid"}, &Settings::DoPID),
    intKey({"PIDAlg", "PIDAlgSwitch", "pid_alg"}, &Settings::PIDAlg),
    intKey({"DTSwitch"}, &Settings::DTSwitch),
    textKey({"ModelPath", "DirModel", "model_path"}, &Settings::ModelPath),
    switchKey({"DoFilter", "do_filter"}, &Settings::DoFilter),
    textKey({"FilterName", "FileFilter_Name", "filter_name"}, &Settings::FilterName),
    textKey({"FilterPath", "FileFilter_Path", "filter_path"}, &Settings::FilterPath),
    switchKey({"DoMask", "do_mask"}, &Settings::DoMask),
    textKey({"MaskName", "FileMask_Name", "mask_name"}, &Settings::MaskName).then(switchMaskOn),
    textKey({"MaskPath", "FileMask_Path", "mask_path"}, &Settings::MaskPath),
    switchKey({"DoMaskFullPrint", "DoMaskExplicitPrint", "do_mask_full_print"}, &Settings::DoMaskFullPrint),
    textKey({"HistName", "FileHist_Name", "hist_name"}, &Settings::HistName),
    textKey({"HistPath", "FileHist_Path", "hist_path"}, &Settings::HistPath),
    switchKey({"DoSigVec", "do_sig_vec"}, &Settings::DoSigVec),
    textKey({"SigVecName", "FileSigVec_Name", "sig_vec_name"}, &Settings::SigVecName),
    textKey({"SigVecPath", "FileSigVec_Path", "sig_vec_path"}, &Settings::SigVecPath),
    switchKey({"DoRadFieldRecog", "do_rad_field_recog"}, &Settings::DoRadFieldRecog),
    textKey({"RadFieldRecogDatabasePath", "ComparatorDB_Path", "rad_field_recog_database_path"},
            &Settings::RadFieldRecogDatabasePath),
    textKey({"RadFiledRecogSigVecBaseName", "ComparatorDBVec_BaseName", "rad_field_recog_sig_vec_base_name"},
            &Settings::RadFiledRecogSigVecBaseName),
    textKey({"RadFiledRecogSigVecEndData", "ComparatorDBVec_EndData", "rad_field_recog_sig_vec_end_data"},
            &Settings::RadFiledRecogSigVecEndData),
    textKey({"RadFiledRecogSigVecEndInfo", "ComparatorDBVec_EndInfo", "rad_field_recog_sig_vec_end_info"},
            &Settings::RadFiledRecogSigVecEndInfo),
    switchKey({"DoDirection", "do_direction"}, &Settings::DoDirection),
    textKey({"DirectionName", "FileDirection_Name", "direction_name"}, &Settings::DirectionName),
    textKey({"DirectionPath", "FileDirection_Path", "direction_path"}, &Settings::DirectionPath),
    switchKey({"DoDirectionTrackCond", "DoTrackingCond", "do_direction_track_cond"}, &Settings::DoDirectionTrackCond),
    switchKey({"DoCompton", "do_compton"}, &Settings::DoCompton),
    textKey({"ComptonName", "FileCompton_Name", "compton_name"}, &Settings::ComptonName),
    textKey({"ComptonPath", "FileCompton_Path", "compton_path"}, &Settings::ComptonPath),
    switchKey({"DoCoinc", "DoEventCoinc", "DoCoincAnalysis", "do_coinc"}, &Settings::DoCoinc),
    textKey({"CoincName", "FileCoincMatch_Name", "coinc_name"}, &Settings::CoincName).notUsedYet(),
    textKey({"CoincPath", "FileCoincMatch_Path", "coinc_path"}, &Settings::CoincPath).notUsedYet(),
    switchKey({"DoFrame", "do_frame"}, &Settings::DoFrame),
    textKey({"DetGeoName", "FileDetGeo_Name", "det_geo_name"}, &Settings::DetGeoName),
    textKey({"DetGeoPath", "FileDetGeo_Path", "det_geo_path"}, &Settings::DetGeoPath),
    switchKey({"DoSensMatrixCount", "do_sens_matrix_count"}, &Settings::DoSensMatrixCount),
    switchKey({"DoSensMatrixPartInteg"}, &Settings::DoSensMatrixPartInteg).notUsedYet(),
    textKey({"SensMatrixVarName"}, &Settings::SensMatrixVarName),
    textKey({"SensMatrixVarUnitName"}, &Settings::SensMatrixVarUnitName),
    intKey({"SensMatrixVarIndex"}, &Settings::SensMatrixVarIndex),
    switchKey({"DoDoseUnitRadiology", "do_dose_unit_radiology"}, &Settings::DoDoseUnitRadiology),
};

}  // namespace

std::span<const SettingKey> settingKeys() { return kSettingKeys; }

}  // namespace zel
