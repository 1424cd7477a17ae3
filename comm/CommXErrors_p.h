#pragma once

#include "comm/CommX.h"

#include <QCoreApplication>

// The messages of the serial component's failures, one per failing step.
namespace CommXErrors
{

inline constexpr const char kAlreadyOpen[] =
    QT_TRANSLATE_NOOP("CommXErrors", "ポートは、すでにオープンされています");
inline constexpr const char kCannotOpen[] =
    QT_TRANSLATE_NOOP("CommXErrors", "ポートをオープンできませんでした");
inline constexpr const char kBufLen[] =
    QT_TRANSLATE_NOOP("CommXErrors", "通信用ポートのバッファを準備できませんでした");
inline constexpr const char kBitRate[] =
    QT_TRANSLATE_NOOP("CommXErrors", "通信速度の設定でエラーが発生しました");
inline constexpr const char kCharSize[] =
    QT_TRANSLATE_NOOP("CommXErrors", "通信ビット数の設定でエラーが発生しました");
inline constexpr const char kParity[] =
    QT_TRANSLATE_NOOP("CommXErrors", "通信パリティチェックの設定でエラーが発生しました");
inline constexpr const char kStopBit[] =
    QT_TRANSLATE_NOOP("CommXErrors", "通信ストップビット数の設定でエラーが発生しました");
inline constexpr const char kFlowCtrl[] =
    QT_TRANSLATE_NOOP("CommXErrors", "通信フロー制御の設定で失敗しました");
inline constexpr const char kXonChar[] =
    QT_TRANSLATE_NOOP("CommXErrors", "Ｘｏｎ文字の設定でエラーが発生しました");
inline constexpr const char kXoffChar[] =
    QT_TRANSLATE_NOOP("CommXErrors", "Ｘｏｆｆ文字の設定でエラーが発生しました");
inline constexpr const char kTransThread[] =
    QT_TRANSLATE_NOOP("CommXErrors", "送信用スレッドを生成できませんでした");
inline constexpr const char kReceiveThread[] =
    QT_TRANSLATE_NOOP("CommXErrors", "受信用スレッドを生成できませんでした");

inline ECommError commError(const char *message, CommFailure failure = CommFailure())
{
    return ECommError(QCoreApplication::translate("CommXErrors", message), std::move(failure));
}

} // namespace CommXErrors
