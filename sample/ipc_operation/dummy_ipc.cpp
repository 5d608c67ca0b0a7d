// The C surface of the simulated camera: checks the arguments and forwards to SimulatedCamera.
#include "dummy_ipc.h"

#include "simulated_camera.h"

namespace {

SimulatedCamera& Camera() { return SimulatedCamera::GetInstance(); }

}  // namespace

extern "C" {

int dummy_ipc_start(const DummyIpcConfig* config) {
    if (Camera().IsStarted()) return 0;
    if (config == nullptr) return -1;
    return Camera().Start(*config);
}

void dummy_ipc_stop(void) { Camera().Stop(); }

int dummy_ipc_live(DummyIpcMediaCmd cmd, const DummyIpcMediaParam* param) {
    return param != nullptr ? Camera().Live(cmd, *param) : -1;
}

int dummy_ipc_vod_by_file(DummyIpcMediaCmd cmd, const DummyIpcMediaParam* param) {
    return param != nullptr ? Camera().VodByFile(cmd, *param) : -1;
}

int dummy_ipc_vod_by_utc(DummyIpcMediaCmd cmd, const DummyIpcMediaParam* param) {
    return param != nullptr ? Camera().VodByUtc(cmd, *param) : -1;
}

int dummy_ipc_report_vod_list(unsigned int start_time, unsigned int /*stop_time*/, int /*num*/, const char* id,
                              ov_query_storage_record_response_cb on_complete) {
    // Every recording is listed whatever the range and count asked for.
    return Camera().ReportVodList(start_time, id, on_complete);
}

int dummy_ipc_get_live_media_param(ov_video_param_s* video, ov_audio_param_s* audio, double* duration) {
    return Camera().GetLiveMediaParam(video, audio, duration);
}

int dummy_ipc_vod_get_media_param(ov_video_param_s* video, ov_audio_param_s* audio, double* duration) {
    return Camera().GetVodMediaParam(video, audio, duration);
}

int dummy_ipc_capture(const char* id) { return Camera().Capture(id); }

int dummy_ipc_set_property(const char* key, const char* value) { return Camera().SetProperty(key, value); }

void dummy_ipc_get_all_property(void) { Camera().GetAllProperty(); }

}  // extern "C"
