// The session's process-wide pointer and the queries that must answer without a game.
#include <gtest/gtest.h>

#include "quillane/session/Session.h"

namespace quillane {
namespace {

TEST(SessionLifecycle, GetSessionIsSetOnlyWhileASessionLives) {
  EXPECT_EQ(GetSession(), nullptr);
  EXPECT_EQ(GetMissionState("Chapter"), -1);
  EXPECT_FALSE(cl_Session::IsSkippingSequence());
  EXPECT_FALSE(cl_Session::IsSceneJustLoaded());
  {
    base::smart_ptr<cl_Session> session(new cl_Session());
    EXPECT_EQ(GetSession(), session.get());
    EXPECT_EQ(session->GetStage(), nullptr);
  }
  EXPECT_EQ(GetSession(), nullptr);
}

}  // namespace
}  // namespace quillane
