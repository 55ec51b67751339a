#include "mkrec/demo_plan.h"

#include <chrono>

namespace vesk::mkrec {

RecordingPlan DemoPlan() {
  using namespace std::chrono;
  RecordingPlan plan;
  plan.deviceName = "Демо VESK";
  const sys_seconds start = sys_days{year{2026} / December / 5} + hours{12};
  plan.startTime = static_cast<std::uint32_t>(start.time_since_epoch().count());
  plan.durationSeconds = 10;
  plan.framesPerSecond = 5;
  // Key frames at seconds 0 and 5, where the description also appears, so a
  // player can start cleanly at either.
  plan.keyFrameInterval = 25;
  plan.markKeyFrames = true;
  const char* names[] = {"Касса", "Вход", "Склад", "Двор"};
  for (std::uint8_t slot = 0; slot < 4; ++slot) {
    CameraPlan camera;
    camera.slot = slot;
    camera.name = names[slot];
    plan.cameras.push_back(camera);
  }
  AudioPlan audio;
  audio.channel = 8;
  audio.format = {16000, 16, 1};
  audio.name = "Микрофон";
  plan.audio.push_back(audio);
  plan.texts.push_back(
      {128,
       {{1, "Чек 0042: 3 позиции, 517.00"}, {4, "Чек 0043: оплата картой"}, {8, "Смена закрыта"}},
       "Касса: чеки"});
  plan.texts.push_back({255,
                        {{0, "Demo recording / Демо-запись"}, {6, "Тревога: движение во дворе"}},
                        "Общие события"});
  plan.repeatDescriptionAt = 5;
  return plan;
}

}  // namespace vesk::mkrec
