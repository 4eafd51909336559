// Every text the system shows to the user, in one place.
#pragma once

namespace vex::msg {

// Captions and fixed texts of the window.
inline constexpr char16_t CAPTION_ERROR[] = u"エラー";
inline constexpr char16_t CAPTION_VERSION[] = u"バージョン情報";
inline constexpr char16_t VERSION_TEXT[] = u"Vexilon version 3.15";
inline constexpr char16_t CREATION_TITLE[] = u"Vexilon ver3.15";
inline constexpr char16_t TITLE_PREFIX[] = u"Vexilon - ";
inline constexpr char16_t LOADING_SUFFIX[] = u".LSPを読み込みます";
inline constexpr char16_t GC_CELLS[] = u"gc: 使用中のセル数は ";
inline constexpr char16_t GC_NUMBERS[] = u" 使用中の数値の数は ";
inline constexpr char16_t RUN_IN_PROGRESS[] = u"Lispプログラムの実行中です。";
// The system could not give a run its thread.
inline constexpr char16_t RUN_NOT_STARTED[] = u"実行を開始できませんでした";

// Start-up.
inline constexpr char16_t CELL_AREA_FAILED[] = u"セル領域の獲得に失敗しました";
inline constexpr char16_t STRING_AREA_FAILED[] =
    u"ストリング領域の獲得に失敗しました";
inline constexpr char16_t NUMBER_AREA_FAILED[] =
    u"数値領域の獲得に失敗しました";
inline constexpr char16_t GLOBAL_AREA_FAILED[] =
    u"グローバル変数領域の獲得に失敗しました";
inline constexpr char16_t FUNCTION_AREA_FAILED[] =
    u"関数領域の獲得に失敗しました";
inline constexpr char16_t CELL_STACK_AREA_FAILED[] =
    u"セルスタック領域の獲得に失敗しました";
inline constexpr char16_t LOCAL_STACK_AREA_FAILED[] =
    u"ローカルスタック領域の獲得に失敗しました";
inline constexpr char16_t INIT_FAILED[] = u"初期化に失敗しました";
inline constexpr char16_t STARTUP_LOAD_FAILED[] =
    u"vexsys.LSPの読み込みに失敗しました";

// Exhaustion: fatal, the program ends.
inline constexpr char16_t CELL_AREA_FULL[] =
    u"セル領域が一杯です。終了します。";
inline constexpr char16_t NUMBER_AREA_FULL[] =
    u"数値領域が一杯です。終了します。";
inline constexpr char16_t STRING_AREA_FULL[] =
    u"ストリング領域が一杯です。終了します。";
inline constexpr char16_t GLOBAL_TABLE_FULL[] =
    u"グローバル変数領域が不足しています。終了します。";
inline constexpr char16_t FUNCTION_TABLE_FULL[] =
    u"関数領域が一杯になりました。終了します。";
inline constexpr char16_t CELL_STACK_FULL[] =
    u"セルスタックが一杯です。終了します";
inline constexpr char16_t LOCAL_STACK_FULL[] =
    u"ローカルスタックが一杯です。終了します";

// Reader and loader.
inline constexpr char16_t TOO_MANY_RIGHT[] = u")が多すぎます";
inline constexpr char16_t TOO_FEW_RIGHT[] = u")が足りません";
inline constexpr char16_t EXPR_TOO_LONG[] = u"Ｓ式が長すぎます";
inline constexpr char16_t RIGHT_PAREN_MISSING[] = u"右括弧が足りません";
inline constexpr char16_t CANNOT_OPEN_FILE[] =
    u"ファイルを開くことができません";
inline constexpr char16_t NOT_UNICODE_FILE[] =
    u"unicodeのファイルではありません";
inline constexpr char16_t NO_RIGHT_PAREN[] = u")がありません";
inline constexpr char16_t FILE_EXPR_TOO_LONG[] =
    u"S式が長すぎます。関数に分割して下さい。";

// Evaluator and built-ins.
inline constexpr char16_t SYNTAX_ERROR[] = u"文法エラー";
inline constexpr char16_t UNBOUND_VARIABLE[] =
    u"その変数には代入されていません";
inline constexpr char16_t UNDEFINED_FUNCTION[] = u"未定義の関数です";
inline constexpr char16_t NOT_A_NUMBER[] = u"数値ではありません";
inline constexpr char16_t TOO_FEW_ARGUMENTS[] = u"引数が足りません";
inline constexpr char16_t DIVIDED_BY_ZERO[] = u"0で除算しました";
inline constexpr char16_t TOO_MANY_ARGUMENTS[] = u"引数が多すぎます";
inline constexpr char16_t FRAME_FAILED[] =
    u"ローカル変数領域の確保に失敗しました";
inline constexpr char16_t FUNCALL_MISUSED[] =
    u"funcallの呼び出し方が間違っています";
inline constexpr char16_t APPLY_MISUSED[] =
    u"applyの呼び出し方が間違っています";
inline constexpr char16_t SECOND_NOT_LIST[] = u"第２引数がリストではありません";
inline constexpr char16_t NOT_A_HASH_TABLE[] =
    u"ハッシュテーブルではありません";
inline constexpr char16_t NOT_AN_ALIST[] = u"連想リストではありません";
inline constexpr char16_t SETF_BAD_PLACE[] = u"setf:間違った表記です";
inline constexpr char16_t SETF_SYNTAX[] = u"文法が間違っています";
inline constexpr char16_t ONLY_CELLS[] = u"セルしか書きかえることはできません";
// The user stopped the run (Ctrl-C in the console), or it used up its steps.
inline constexpr char16_t INTERRUPTED[] = u"実行を中断しました";
// The evaluation nested deeper than the evaluating thread's stack holds.
inline constexpr char16_t NESTING_TOO_DEEP[] =
    u"評価の入れ子が深すぎます。実行を中止しました";

// Turtle and drawing.
inline constexpr char16_t ARG_NOT_A_NUMBER[] = u"引数が数値ではありません";
inline constexpr char16_t ARG_NEGATIVE[] = u"引数が負です";
inline constexpr char16_t POINT_NOT_SET[] = u"点がセットされていません。";
inline constexpr char16_t BAD_FILE_NAME[] = u"ファイル名が間違っています。";

}  // namespace vex::msg
