#include "editor/EditorFixture.h"

#include <QClipboard>
#include <QGuiApplication>

namespace {

std::vector<int> Hundreds(int first, int step) {
    std::vector<int> values;
    for (int k = 0; k < 13; ++k)
        values.push_back(first + k * step);
    return values;
}

std::vector<double> AsDoubles(const std::vector<int>& values) {
    return {values.begin(), values.end()};
}

class CurveRules : public EditorFixture {
protected:
    void Restart() {
        EditorFixture::TearDown();
        EditorFixture::SetUp();
    }
};

TEST_F(CurveRules, StartsWithTheLayoutsCurveAndBoxesThatDifferAtPointsFourAndSix) {
    EXPECT_EQ(RpmBoxes(), Hundreds(1000, 1000));
    EXPECT_EQ(CurveXs(), AsDoubles(Hundreds(1000, 1000)));
    EXPECT_EQ(CurveY(4), 10);
    EXPECT_EQ(Adv(4)->Value(), 12);
    EXPECT_EQ(CurveY(6), 11);
    EXPECT_EQ(Adv(6)->Value(), 8);
    EXPECT_EQ(Form->Series1->XValues()->Value(0), 0);
    EXPECT_EQ(Form->Series1->YValues()->Value(1), 5);
    EXPECT_EQ(Form->Series1->XValues()->Count(), 15);
}

TEST_F(CurveRules, BuildingTheWindowRunsNoRule) {
    TTestPlatform platform;
    TForm1 hidden(platform.Services());
    EXPECT_EQ(hidden.Chart1->DrawCount(), 0);
    EXPECT_EQ(hidden.Series1->YValues()->Value(5), 10);
}

TEST_F(CurveRules, PushesTheNextPointOneHundredBeyond) {
    const int draws = Form->Chart1->DrawCount();
    Rpm(1)->SetValue(2000);
    std::vector<int> expected = Hundreds(1000, 1000);
    expected[0] = 2000;
    expected[1] = 2100;
    EXPECT_EQ(RpmBoxes(), expected);
    EXPECT_EQ(CurveX(2), 2100);
    // One repaint for each rule run: point 1's and the nested one of point 2.
    EXPECT_EQ(Form->Chart1->DrawCount(), draws + 2);
}

TEST_F(CurveRules, TopBoundStacksThePointsBackDownward) {
    Rpm(1)->SetValue(20000);
    EXPECT_EQ(RpmBoxes(), Hundreds(18800, 100));
    EXPECT_EQ(CurveXs(), AsDoubles(Hundreds(18800, 100)));
}

TEST_F(CurveRules, BottomBoundStacksThePointsBackUpward) {
    Rpm(13)->SetValue(500);
    EXPECT_EQ(RpmBoxes(), Hundreds(500, 100));
}

TEST_F(CurveRules, TwoPointsMayShareTheTopBound) {
    Rpm(13)->SetValue(20000);
    Rpm(12)->SetValue(20000);
    std::vector<int> expected = Hundreds(1000, 1000);
    expected[11] = 20000;
    expected[12] = 20000;
    EXPECT_EQ(RpmBoxes(), expected);
    EXPECT_EQ(CurveX(12), 20000);
    EXPECT_EQ(CurveX(13), 20000);
}

TEST_F(CurveRules, CurveTruncatesToHundredsWhileTheBoxKeepsItsText) {
    Rpm(2)->SetValue(1050);
    EXPECT_EQ(Rpm(2)->Text(), "1050");
    EXPECT_EQ(CurveX(2), 1000);
    EXPECT_EQ(Rpm(1)->Text(), "950");
    EXPECT_EQ(CurveX(1), 900);
    EXPECT_EQ(Rpm(3)->Value(), 3000);
}

TEST_F(CurveRules, NoPushWhileTheNeighbourStaysAhead) {
    Rpm(1)->SetValue(1950);
    EXPECT_EQ(CurveX(1), 1900);
    EXPECT_EQ(Rpm(1)->Value(), 1950);
    EXPECT_EQ(Rpm(2)->Value(), 2000);
}

TEST_F(CurveRules, PointOneMayMeetTheLeadInWithoutPush) {
    Rpm(1)->SetValue(500);
    EXPECT_EQ(CurveX(1), 500);
    EXPECT_EQ(Form->Series1->XValues()->Value(1), 500);
    EXPECT_EQ(Rpm(2)->Value(), 2000);
}

TEST_F(CurveRules, PushedPointsStayWhenThePointMovesBack) {
    Rpm(3)->SetValue(4500);
    EXPECT_EQ(Rpm(4)->Value(), 4600);
    Rpm(3)->SetValue(3000);
    EXPECT_EQ(Rpm(4)->Value(), 4600);
    EXPECT_EQ(Rpm(5)->Value(), 5000);
}

TEST_F(CurveRules, TypingOverTheSelectedTextPushesThroughTheTextBeingTyped) {
    Enter(Rpm(2));
    ASSERT_EQ(Rpm(2)->selectedText(), "2000");
    Type(Rpm(2), "2");
    EXPECT_EQ(Rpm(1)->Value(), 500);
    EXPECT_EQ(Rpm(2)->Value(), 600);
    EXPECT_EQ(Rpm(2)->Text(), "600");
}

TEST_F(CurveRules, ClearingABoxStacksThePointsBelowIt) {
    Rpm(5)->clear();
    std::vector<int> expected = Hundreds(1000, 1000);
    for (int k = 1; k <= 5; ++k)
        expected[k - 1] = 400 + 100 * k;
    EXPECT_EQ(RpmBoxes(), expected);
    EXPECT_EQ(Rpm(5)->Text(), "900");
}

TEST_F(CurveRules, AdvanceFollowsTheBoxAtOnce) {
    Enter(Adv(4));
    Key(Adv(4), Qt::Key_Up);
    EXPECT_EQ(Adv(4)->Text(), "13");
    EXPECT_EQ(CurveY(4), 13);

    Adv(7)->clear();
    EXPECT_EQ(CurveY(7), 0);
}

TEST_F(CurveRules, AdvanceOutOfRangeWhileEditedThenClampedOnLeaving) {
    Enter(Adv(2));
    Type(Adv(2), "60");
    EXPECT_EQ(CurveY(2), 60);
    Leave();
    EXPECT_EQ(Adv(2)->Text(), "50");
    EXPECT_EQ(CurveY(2), 50);
}

TEST_F(CurveRules, NegativeTextFollowsEveryKeystrokeThenClampsOnLeaving) {
    Enter(Rpm(1));
    std::vector<double> seen;
    const auto rule = Rpm(1)->OnChange;
    Rpm(1)->OnChange = [&](TSpinEdit* sender) {
        rule(sender);
        seen.push_back(CurveX(1));
    };
    Type(Rpm(1), "-150");
    EXPECT_EQ(seen, (std::vector<double>{500, 0, 0, -100}));
    EXPECT_EQ(Rpm(2)->Value(), 2000);
    Leave();
    EXPECT_EQ(Rpm(1)->Text(), "500");
    EXPECT_EQ(CurveX(1), 500);
}

TEST_F(CurveRules, PastedNumberAboveTheBoundHoldsUntilTheBoxIsLeft) {
    Enter(Rpm(13));
    QGuiApplication::clipboard()->setText("99999");
    Key(Rpm(13), Qt::Key_V, {}, Qt::ControlModifier);
    EXPECT_EQ(CurveX(13), 99900);
    Leave();
    EXPECT_EQ(Rpm(13)->Text(), "20000");
    EXPECT_EQ(CurveX(13), 20000);
}

// A number typed far beyond the bounds pushes its neighbour to the bound it is beyond, as any
// number past the bound does, also where the 100 of the push reaches the 32-bit limits.
TEST_F(CurveRules, PushesNearThe32BitLimitsStopAtTheLimits) {
    std::vector<int> pushedUp = Hundreds(1000, 1000);
    pushedUp[11] = 19900;
    pushedUp[12] = 20000;
    std::vector<int> pushedDown = Hundreds(1000, 1000);
    pushedDown[0] = 500;
    pushedDown[1] = 600;
    const struct {
        int box;
        const char* text;
        const std::vector<int>& boxes;
    } cases[] = {
        {12, "99999", pushedUp},        {12, "2147483547", pushedUp},
        {12, "2147483548", pushedUp},   {12, "2147483600", pushedUp},
        {12, "2147483647", pushedUp},   {2, "-5", pushedDown},
        {2, "-2147483548", pushedDown}, {2, "-2147483549", pushedDown},
        {2, "-2147483600", pushedDown}, {2, "-2147483648", pushedDown},
    };
    for (const auto& c : cases) {
        Restart();
        Enter(Rpm(c.box));
        QGuiApplication::clipboard()->setText(c.text);
        Key(Rpm(c.box), Qt::Key_V, {}, Qt::ControlModifier);
        EXPECT_EQ(RpmBoxes(), c.boxes) << c.text << " in box " << c.box;
        EXPECT_EQ(CurveXs(), AsDoubles(c.boxes)) << c.text << " in box " << c.box;
    }
}

TEST_F(CurveRules, BoxesStayInOrderAfterEveryBoxIsLeft) {
    const int writes[][2] = {{7, 2500}, {2, 19000}, {13, 800}, {5, 12345}, {9, 600}};
    for (const auto& w : writes) {
        Rpm(w[0])->SetValue(w[1]);
        const std::vector<double> xs = CurveXs();
        for (std::size_t i = 1; i < xs.size(); ++i) {
            const bool stacked = xs[i] == xs[i - 1] && (xs[i] == 500 || xs[i] == 20000);
            EXPECT_TRUE(xs[i] > xs[i - 1] || stacked)
                << "after writing " << w[1] << " into box " << w[0] << " at point " << i + 1;
        }
    }
}

} // namespace
