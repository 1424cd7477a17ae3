#pragma once

#include "comm/CommX.h"

// The messages of the serial component's failures, one per failing step.
namespace CommXErrors
{

inline constexpr const char kAlreadyOpen[] = "ポートは、すでにオープンされています";
inline constexpr const char kCannotOpen[] = "ポートをオープンできませんでした";
inline constexpr const char kBufLen[] = "通信用ポートのバッファを準備できませんでした";
inline constexpr const char kBitRate[] = "通信速度の設定でエラーが発生しました";
inline constexpr const char kCharSize[] = "通信ビット数の設定でエラーが発生しました";
inline constexpr const char kParity[] = "通信パリティチェックの設定でエラーが発生しました";
inline constexpr const char kStopBit[] = "通信ストップビット数の設定でエラーが発生しました";
inline constexpr const char kFlowCtrl[] = "通信フロー制御の設定で失敗しました";
inline constexpr const char kXonChar[] = "Ｘｏｎ文字の設定でエラーが発生しました";
inline constexpr const char kXoffChar[] = "Ｘｏｆｆ文字の設定でエラーが発生しました";
inline constexpr const char kTransThread[] = "送信用スレッドを生成できませんでした";
inline constexpr const char kReceiveThread[] = "受信用スレッドを生成できませんでした";

inline ECommError commError(const char *message, CommFailure failure = CommFailure())
{
    return ECommError(QString::fromUtf8(message), std::move(failure));
}

} // namespace CommXErrors
