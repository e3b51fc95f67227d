#include "commandhelp.h"

namespace kamelo::clihelp {

// A new command adds one entry here; usage, --help, the manual page and the
// completion follow from it.
const std::vector<Command>& commands() {
    static const std::vector<Command> table = {
        {"settings",
         {"settings get SECTION KEY", "settings set SECTION KEY VALUE [--int|--string]",
          "settings delete SECTION [KEY]", "settings dump"},
         "설정 저장소의 값을 읽고, 쓰고, 지웁니다.",
         "get 은 값 하나를 출력하고, set 은 값을 저장하며, delete 는 값 하나나 섹션 "
         "전체를 지우고, dump 는 모든 값을 한 줄에 하나씩 (키, 이름, 형식, 값을 탭으로 "
         "나누어) 출력합니다. 섹션과 키 이름은 대소문자를 가리지 않습니다.\n"
         "set 에 --int 도 --string 도 없으면 값은 이미 있던 형식을 따르고, 새 값은 정수로 "
         "읽히면 정수가 됩니다.\n"
         "설정 파일을 읽거나 쓸 수 없으면 까닭을 알리고 1 로 끝납니다.",
         {{"--int", "", "값을 정수(DWORD)로 저장합니다."},
          {"--string", "", "값을 문자열로 저장합니다."}},
         {"get", "set", "delete", "dump"},
         ""},
        {"info",
         {"info FILE..."},
         "그림 파일의 정보를 출력합니다.",
         "파일 하나에 한 줄씩 경로, 형식, 너비, 높이, 색 깊이, 쪽 수, 압축, 파일 크기를 "
         "탭으로 나누어 출력합니다. 읽을 수 없는 파일이 있으면 1 로 끝납니다.",
         {},
         {},
         "file"},
        {"resave",
         {"resave IN OUT [--quality-factor N]"},
         "그림을 읽어 다른 형식으로 저장합니다.",
         "OUT 의 확장자가 저장 형식을 정합니다.",
         {{"--quality-factor", "N",
           "JPEG, WebP, AVIF 품질 값, 2(가장 좋은 품질, WebP 와 AVIF 는 무손실)부터 255까지 "
           "(기본값 2)."}},
         {},
         "file"},
        {"thumbs",
         {"thumbs DIR [--no-stamp] [--cache PATH] [--jobs N]"},
         "폴더의 섬네일을 브라우저와 같이 만들어 캐쉬에 저장합니다.",
         "그림 수(pictures), 읽지 못한 그림 수(unreadable), 캐쉬 파일 이름(cache)과 걸린 "
         "시간(time)을 출력합니다. 창은 열리지 않습니다.",
         {{"--no-stamp", "", "사진에 들어 있는 작은 그림을 쓰지 않고 모든 그림을 디코딩합니다."},
          {"--cache", "PATH", "프로그램의 캐쉬 폴더 대신 PATH 를 씁니다."},
          {"--jobs", "N", "디코딩 스레드 수, 1부터 64까지 (기본값: 코어 하나에 하나)."}},
         {},
         "dir"},
        {"cache",
         {"cache show DIR [--cache PATH]"},
         "캐쉬된 폴더의 항목을 출력합니다.",
         "한 줄에 항목 하나, 칸은 탭으로 나뉩니다. 이름 속의 역슬래시, 줄바꿈, 탭은 "
         "\\\\, \\n, \\t 로 적습니다. 캐쉬되지 않은 폴더면 1 로 끝납니다.",
         {{"--cache", "PATH", "프로그램의 캐쉬 폴더 대신 PATH 를 씁니다."}},
         {"show"},
         "dir"},
        {"exif",
         {"exif [--raw] FILE..."},
         "사진의 카메라 정보(EXIF)를 출력합니다.",
         "파일이 여럿이면 파일마다 \"== 경로\" 줄로 시작합니다.",
         {{"--raw", "", "보기 좋게 고친 값 대신 파서가 읽은 기록을 그대로 출력합니다."}},
         {},
         "file"},
        {"rename",
         {"rename [--dry-run] [--start N] PATTERN FILE..."},
         "파일들의 이름을 패턴에 따라 한꺼번에 바꿉니다.",
         "kamelo 의 일괄 이름 바꾸기와 같은 규칙입니다. PATTERN 은 머릿말, 일련 번호 "
         "자리수만큼의 # (없으면 번호를 넣지 않습니다; 9개까지), # 바로 뒤에 대괄호로 묶은 "
         "날짜 형식 하나 (넣지 않아도 됩니다), 꼬릿말의 차례로 씁니다. 날짜 형식은 "
         "[YYYY-MM-DD HH-MM-SS], [YYYY_MM_DD HH_MM_SS], [YYYY-MM-DD], [YYYY_MM_DD] 네 "
         "가지이고, 사진의 EXIF 촬영 날짜(DateTimeOriginal)를 현지 시각으로 넣습니다; 날짜가 "
         "없는 사진에는 넣지 않습니다. 원래 확장자는 그대로 붙습니다. 예: "
         "'trip_##[YYYY-MM-DD]_seoul' 은 trip_002008-05-30_seoul.jpg, "
         "trip_012008-05-31_seoul.jpg 처럼 바꿉니다.\n"
         "FILE 은 주어진 차례대로 번호를 받고, 각자 제 폴더 안에서 이름이 바뀝니다. 파일마다 "
         "\"원래 경로 -> 새 경로\" 한 줄을 출력합니다.\n"
         "모두 바꾸거나 하나도 바꾸지 않습니다. 새 이름이 서로 같거나, 바뀌지 않는 파일의 "
         "이름과 같거나, 확장자 앞이 비었거나, 점으로 시작하거나, 폴더가 허용하는 길이를 "
         "넘으면 그 줄들을 까닭과 함께 표준 오류에 쓰고 1 로 끝납니다. 이름을 서로 맞바꾸는 "
         "것은 됩니다. 도중에 실패하면 이미 바꾼 이름을 되돌리고 1 로 끝납니다. 도중에 "
         "강제로 끝났다면 (전원이 꺼져도) 그 폴더의 다음 이름 바꾸기가 먼저 원래 이름으로 "
         "되돌립니다. 패턴이나 옵션이 잘못되었으면 2 로 끝납니다.",
         {{"--dry-run", "", "이름을 바꾸지 않고 바뀔 이름만 출력합니다."},
          {"--start", "N", "시작번호, 0부터 999999999까지 (기본값 0)."}},
         {},
         "file"},
        {"convert",
         {"convert --format BMP|JPG|PCX|PNG|WEBP|AVIF [--quality-factor N | --quality Q] "
          "[--out DIR] "
          "[--overwrite] [--jobs N] FILE..."},
         "그림들을 다른 형식으로 한꺼번에 바꿉니다.",
         "브라우저의 형식 변환을 창 없이 합니다. 결과는 원본 옆에 형식 이름을 확장자로 "
         "하여 (예: a.bmp 에서 a.JPG) 씁니다. 파일마다 한 줄씩 결과를 출력하고, "
         "진행 상황은 표준 오류로 알립니다.\n"
         "실패한 파일이 있으면 1, 잘못 사용하면 2 로 끝납니다.",
         {{"--format", "BMP|JPG|PCX|PNG|WEBP|AVIF", "만들 형식 (대소문자를 가리지 않습니다)."},
          {"--quality-factor", "N",
           "JPEG, WebP, AVIF 품질 값, 2(가장 좋은 품질, WebP 와 AVIF 는 무손실)부터 255까지."},
          {"--quality", "Q",
           "JPEG, WebP, AVIF 품질, 0부터 100까지 (100 은 WebP 와 AVIF 를 무손실로 씁니다; "
           "--quality-factor 와 함께 쓸 수 없습니다)."},
          {"--out", "DIR", "원본 옆 대신 DIR 폴더에 씁니다; 없는 폴더는 만듭니다."},
          {"--overwrite", "", "이미 있는 결과 파일을 덮어씁니다 (없으면 그대로 둡니다)."},
          {"--jobs", "N", "동시에 바꾸는 스레드 수, 1부터 256까지 (기본값: 코어 하나에 하나)."}},
         {},
         "file"},
        {"adjust",
         {"adjust [--levels B,G,W[,OB,OW]] [--red|--green|--blue B,G,W[,OB,OW]] "
          "[--auto-colour | --auto-contrast | --grey] [--sharpen N | --blur R | --unsharp A,R,T] "
          "[--out DIR] [--overwrite] FILE..."},
         "그림의 색상과 밝기, 선명도를 한꺼번에 고칩니다.",
         "색상/밝기 조정과 선명하게 도구를 창 없이 씁니다. 레벨은 입력 검정, 감마, 입력 "
         "흰색, 출력 검정, 출력 흰색 순서이며, 입력 검정은 입력 흰색보다 2 이상 작아야 "
         "합니다. 색을 먼저 고치고 선명도를 나중에 고칩니다. --out 이 없으면 원본 위에 "
         "씁니다. JPEG 은 카메라 정보를 지킵니다.\n"
         "실패한 파일이 있으면 1, 잘못 사용하면 2 로 끝납니다.",
         {{"--levels", "B,G,W[,OB,OW]", "모든 채널의 레벨 (감마 0.1 부터 10 까지)."},
          {"--red", "B,G,W[,OB,OW]", "빨강 채널의 레벨 (모든 채널의 레벨보다 먼저)."},
          {"--green", "B,G,W[,OB,OW]", "초록 채널의 레벨."},
          {"--blue", "B,G,W[,OB,OW]", "파랑 채널의 레벨."},
          {"--auto-colour", "", "자동 색상."},
          {"--auto-contrast", "", "자동 대비."},
          {"--grey", "", "흑백 효과."},
          {"--sharpen", "N", "선명하게, 0 부터 10 까지 (패널의 막대와 같습니다)."},
          {"--blur", "R", "흐릿하게 (가우스), 반지름 0 부터 100 까지."},
          {"--unsharp", "A,R,T", "언샤프 마스크: 강도 0-1000, 반지름 0-100, 임계값 0-255."},
          {"--out", "DIR", "원본 대신 DIR 폴더에 씁니다; 없는 폴더는 만듭니다."},
          {"--overwrite", "", "DIR 에 이미 있는 파일을 덮어씁니다 (없으면 그대로 둡니다)."}},
         {},
         "file"},
        {"crop",
         {"crop --rect X,Y,W,H [--out DIR] [--overwrite] FILE..."},
         "그림을 주어진 사각형으로 자릅니다.",
         "사각형은 그림 픽셀 단위이며 그림 밖은 잘라 냅니다; 그림과 겹치지 않으면 그 "
         "파일은 실패합니다. --out 이 없으면 원본 위에 씁니다. JPEG 은 카메라 정보를 "
         "지킵니다.\n"
         "실패한 파일이 있으면 1, 잘못 사용하면 2 로 끝납니다.",
         {{"--rect", "X,Y,W,H", "남길 사각형: 왼쪽 위 X, Y 와 너비 W, 높이 H."},
          {"--out", "DIR", "원본 대신 DIR 폴더에 씁니다; 없는 폴더는 만듭니다."},
          {"--overwrite", "", "DIR 에 이미 있는 파일을 덮어씁니다 (없으면 그대로 둡니다)."}},
         {},
         "file"},
        {"import",
         {"import SRC DEST [--rule 0|1|2] [--group NAME] [--date-format 0|1] [--no-rotate] "
          "[--delete-source] [--skip-imported] [--clash rename|skip|overwrite|stop]",
          "import --camera [PORT] DEST [OPTION...]", "import --list-cameras"},
         "카메라나 메모리 카드의 그림, 사진, 동영상 파일을 폴더로 가져옵니다.",
         "가져오기 마법사의 복사를 창 없이 합니다. SRC 폴더와 그 하위 폴더의 그림, 동영상 "
         "파일을 이름 순서로 DEST 폴더(없으면 만듭니다)에 복사합니다. 파일마다 "
         "\"원본 -> 대상\" 한 줄을 출력하고, 끝에 가져온(imported), 회전한(turned), "
         "건너뛴(skipped), 실패한(failed), 남은(not reached), 지운(deleted) 파일 수를 "
         "출력합니다.\n"
         "--camera 는 SRC 대신 USB 로 연결한 카메라나 휴대폰(PTP/MTP)에서 가져옵니다. "
         "PORT 는 --list-cameras 가 보이는 포트이고 (disk:/경로 는 폴더를 카메라로 "
         "봅니다), 빼면 처음 찾은 카메라입니다. 연결이 끊어지면 그때까지 가져온 파일은 "
         "두고 카메라에서는 아무것도 지우지 않습니다.\n"
         "모두 가져오면 (건너뛴 파일은 빼고) 0, 실패했거나 중단하여 가져오지 못한 파일이 "
         "있으면 1, 잘못 사용하면 2 로 끝납니다.",
         {{"--rule", "0|1|2",
           "파일 이름: 0 원본 이름 그대로 (기본값), 1 그룹 이름과 번호, 2 찍은 날짜(EXIF)."},
          {"--group", "NAME", "--rule 1 의 그룹 이름 (기본값: 오늘 날짜 YYYY-MM-DD)."},
          {"--date-format", "0|1",
           "--rule 2 의 날짜 형식: 0 YYYY-MM-DD HH-MM-SS (기본값), 1 YYYY_MM_DD HH_MM_SS."},
          {"--no-rotate", "", "사진을 EXIF 방향에 따라 바로 세우지 않고 그대로 복사합니다."},
          {"--delete-source", "",
           "확인까지 마친 복사본의 원본만 장치에서 지웁니다 (내용을 다시 읽어 비교합니다)."},
          {"--skip-imported", "",
           "크기와 내용이 같은 파일이 DEST 에 이미 있으면 건너뛰고 (already imported 로) "
           "셉니다."},
          {"--camera", "[PORT]", "폴더 대신 카메라에서 가져옵니다."},
          {"--list-cameras", "", "연결된 카메라의 포트, 모델, 저장소 이름을 한 줄씩 출력합니다."},
          {"--clash", "rename|skip|overwrite|stop",
           "DEST 에 같은 이름의 파일이 있을 때: 이름 앞에 _ 붙이기 (기본값), 건너뛰기, "
           "덮어쓰기, 중단. 이번에 가져온 파일과 이번에 가져오는 원본은 덮어쓰지 않고 늘 "
           "이름을 바꿉니다. 원본 파일 자신이 대상이면 (DEST 가 SRC 이거나 그 링크일 때) "
           "쓰지도 지우지도 않고 건너뜁니다."}},
         {},
         "dir"},
        {"resize",
         {"resize (--percent P | --width W | --height H | --size WxH) "
          "[--method bicubic|resample|normal] [--out DIR] [--overwrite] [--jobs N] FILE..."},
         "그림들의 크기를 한꺼번에 바꿉니다.",
         "브라우저의 크기 변환을 창 없이 합니다. --out 이 없으면 원본 파일에 덮어씁니다. "
         "JPEG 은 카메라 정보를 그대로 두고 새 크기를 적습니다. 너비나 높이가 0 이 되는 "
         "그림은 쓰지 않고 실패로 알립니다.\n"
         "실패한 파일이 있으면 1, 잘못 사용하면 2 로 끝납니다.",
         {{"--percent", "P", "P 퍼센트로, 1부터 5000까지 (소수점 아래는 버립니다)."},
          {"--width", "W", "너비를 W 로, 높이는 비율에 맞춥니다."},
          {"--height", "H", "높이를 H 로, 너비는 비율에 맞춥니다."},
          {"--size", "WxH", "너비 W, 높이 H 로 (비율을 지키지 않습니다)."},
          {"--method", "bicubic|resample|normal", "변환 방법 (기본값: bicubic)."},
          {"--out", "DIR", "원본 대신 DIR 폴더에 씁니다; 없는 폴더는 만듭니다."},
          {"--overwrite", "", "DIR 에 이미 있는 파일을 덮어씁니다 (없으면 그대로 둡니다)."},
          {"--jobs", "N", "동시에 처리하는 스레드 수, 1부터 256까지 (기본값: 코어 하나에 하나)."}},
         {},
         "file"},
        {"rotate",
         {"rotate (--left | --right | --half | --mirror | --flip | --auto | --code N) "
          "[--out DIR] [--overwrite] [--jobs N] FILE..."},
         "그림들을 돌리거나 뒤집습니다.",
         "브라우저의 회전을 창 없이 합니다. --out 이 없으면 원본 파일에 덮어씁니다. "
         "--auto 는 EXIF 방향대로 바로 세우고 방향을 1 로 적습니다; 다른 회전은 원래 "
         "방향 값을 그대로 둡니다.\n"
         "JPEG 을 JPEG 으로 쓸 때는 압축된 데이터를 그대로 돌려 화질을 잃지 않고 EXIF, XMP, "
         "IPTC, ICC 를 모두 지킵니다. 가로나 세로가 블록 크기의 배수가 아니어서 그렇게 할 수 "
         "없으면 원본의 품질과 색 샘플링으로 다시 압축하고 그 파일의 줄에 \"무손실 회전 불가: "
         "다시 압축함\" 이라고 적습니다.\n"
         "실패한 파일이 있으면 1, 잘못 사용하면 2 로 끝납니다.",
         {{"--left", "", "왼쪽으로 90도 (코드 1)."},
          {"--right", "", "오른쪽으로 90도 (코드 3)."},
          {"--half", "", "180도 (코드 2)."},
          {"--mirror", "", "좌우 뒤집기 (코드 5)."},
          {"--flip", "", "상하 뒤집기 (코드 6)."},
          {"--auto", "", "EXIF 방향대로 바로 세우기 (코드 4)."},
          {"--code", "N", "회전 코드 0부터 8까지 (7: 오른쪽 대각선, 8: 왼쪽 대각선으로 뒤집기)."},
          {"--out", "DIR", "원본 대신 DIR 폴더에 씁니다; 없는 폴더는 만듭니다."},
          {"--overwrite", "", "DIR 에 이미 있는 파일을 덮어씁니다 (없으면 그대로 둡니다)."},
          {"--jobs", "N", "동시에 처리하는 스레드 수, 1부터 256까지 (기본값: 코어 하나에 하나)."}},
         {},
         "file"},
        {"frame",
         {"frame [--skin NAME] [--skin-dir DIR] [--text TEXT] [--font FACE] [--size PT] [--bold] "
          "[--italic] [--strikeout] [--underline] [--colour RRGGBB] [--alpha A] [--text-pos P] "
          "[--text-offset X,Y] [--rendering 0|1|2] [--tag FILE] [--tag-pos P] [--tag-offset X,Y] "
          "(--out FILE | --out-dir DIR) [--overwrite] [--jobs N] FILE...",
          "frame --list [--skin-dir DIR]"},
         "그림에 액자를 두르고 태그 이미지와 글자를 넣습니다.",
         "액자 넣기를 창 없이 합니다: 액자, 태그 이미지, 글자 순서로 그리고 출력 파일의 "
         "확장자대로 씁니다 (JPG 는 품질 96 에 원본의 EXIF 를 지킵니다). 스킨은 프로그램 "
         "폴더의 skin/ 에서 찾습니다; NAME 은 INI 파일 이름 (.ini 없이), 캡션 또는 INI 경로이고, "
         "없으면 목록의 첫 스킨을 씁니다. 위치 P 는 0 하단 왼쪽, 1 하단 가운데, 2 하단 오른쪽, "
         "3 상단 왼쪽, 4 상단 가운데, 5 상단 오른쪽, 6 중앙 왼쪽, 7 중앙 가운데, 8 중앙 "
         "오른쪽입니다.\n"
         "text 명령은 같은 일을 액자 없이 합니다.\n"
         "실패한 파일이 있으면 1, 잘못 사용했거나 스킨을 그릴 수 없으면 (아무것도 쓰지 않고) 2 로 "
         "끝납니다.",
         {{"--skin", "NAME", "두를 액자 스킨."},
          {"--skin-dir", "DIR", "skin/ 대신 DIR 에서 스킨을 찾습니다."},
          {"--list", "", "스킨의 이름과 캡션을 목록 순서대로 보여 줍니다."},
          {"--text", "TEXT", "넣을 글자 (줄바꿈은 줄을 나눕니다)."},
          {"--font", "FACE", "글꼴 (기본값: 굴림; 없는 글꼴은 한글 기본 글꼴로 그립니다)."},
          {"--size", "PT", "글자 크기, 포인트 (96 dpi), 1부터 1000까지 (기본값: 20)."},
          {"--bold", "", "굵게."},
          {"--italic", "", "기울임꼴."},
          {"--strikeout", "", "취소선."},
          {"--underline", "", "밑줄."},
          {"--colour", "RRGGBB", "글자 색, 16진수 (기본값: 000000)."},
          {"--alpha", "A", "글자의 불투명도 0부터 255까지 (기본값: 255)."},
          {"--text-pos", "P", "글자 위치 0부터 8까지 (기본값: 0)."},
          {"--text-offset", "X,Y", "글자 위치에 더할 픽셀."},
          {"--rendering", "0|1|2", "0 안티알리아싱, 1 ClearType, 2 보통 (기본값: 0)."},
          {"--tag", "FILE", "넣을 태그 이미지."},
          {"--tag-pos", "P", "태그 위치 0부터 8까지 (기본값: 0)."},
          {"--tag-offset", "X,Y", "태그 위치에 더할 픽셀."},
          {"--out", "FILE", "그림 하나를 FILE 에 씁니다; 형식은 확장자로 정합니다."},
          {"--out-dir", "DIR", "같은 이름으로 DIR 폴더에 씁니다; 없는 폴더는 만듭니다."},
          {"--overwrite", "", "이미 있는 파일을 덮어씁니다 (없으면 그대로 둡니다)."},
          {"--jobs", "N", "동시에 처리하는 스레드 수, 1부터 256까지 (기본값: 코어 하나에 하나)."}},
         {},
         "file"},
        {"text",
         {"text (--text TEXT | --tag FILE) [text and tag options of frame] "
          "(--out FILE | --out-dir DIR) [--overwrite] [--jobs N] FILE..."},
         "그림에 액자 없이 글자나 태그 이미지를 넣습니다.",
         "frame 과 같되 액자를 두르지 않습니다. 옵션은 frame 의 글자와 태그 옵션과 같습니다.\n"
         "실패한 파일이 있으면 1, 잘못 사용하면 2 로 끝납니다.",
         {{"--text", "TEXT", "넣을 글자."},
          {"--tag", "FILE", "넣을 태그 이미지."},
          {"--out", "FILE", "그림 하나를 FILE 에 씁니다; 형식은 확장자로 정합니다."},
          {"--out-dir", "DIR", "같은 이름으로 DIR 폴더에 씁니다; 없는 폴더는 만듭니다."},
          {"--overwrite", "", "이미 있는 파일을 덮어씁니다 (없으면 그대로 둡니다)."},
          {"--jobs", "N", "동시에 처리하는 스레드 수, 1부터 256까지 (기본값: 코어 하나에 하나)."}},
         {},
         "file"},
        {"print",
         {"print (--pdf OUT | --printer NAME) [--sheet CxR] [--size fit|3x5|4x6|5x7|10x8|WxH] "
          "[--margins L,T,R,B] [--header TEXT] [--footer TEXT] [--caption TEXT] [--copies N] "
          "FILE..."},
         "그림을 한 장에 하나씩 또는 여러 장씩 모아 인쇄합니다.",
         "kamelo 의 인쇄하기와 같이 배치해 PDF 파일이나 CUPS 프린터로 인쇄합니다. 옵션에 "
         "없는 설정은 인쇄 대화상자가 저장한 값(섹션 Print)을 씁니다. 그림이 아닌 파일은 "
         "뺍니다.\n"
         "모두 인쇄하면 0, 읽을 수 없는 그림이 있으면 (그 자리에 표시하고 나머지를 인쇄한 "
         "뒤) 1, 설정이 맞지 않거나 (사진을 놓을 자리가 없음, 0 매, 용지를 넘는 칸 수, "
         "프린터 없음) 인쇄하지 못하면 2 로 끝납니다.",
         {{"--pdf", "OUT", "프린터 대신 A4 PDF 파일 OUT 에 씁니다."},
          {"--printer", "NAME", "CUPS 프린터 NAME 으로, 그 프린터의 기본 용지에 인쇄합니다."},
          {"--sheet", "CxR", "여러장 찍기: 한 쪽에 가로 C 장, 세로 R 줄."},
          {"--size", "fit|3x5|4x6|5x7|10x8|WxH",
           "전체페이지: 용지에 맞춤, 인치 크기, 또는 너비 x 높이 (mm)."},
          {"--margins", "L,T,R,B", "왼쪽, 위, 오른쪽, 아래 여백 (mm)."},
          {"--header", "TEXT", "쪽마다 위에 찍을 머릿말."},
          {"--footer", "TEXT", "쪽마다 아래에 찍을 꼬릿말."},
          {"--caption", "TEXT",
           "사진마다 아래에 찍을 설명; [파일이름] 과 [사진찍은날짜] 를 "
           "바꿔 넣습니다."},
          {"--copies", "N", "인쇄 매수 (1 이상)."}},
         {},
         "file"},
    };
    return table;
}

const Command* find(std::string_view name) {
    for (const Command& c : commands())
        if (name == c.name)
            return &c;
    return nullptr;
}

const Program& cliProgram() {
    static const Program p = {
        "kamelo-cli",
        "카멜로의 명령줄 도구",
        "[--db PATH] COMMAND [ARGUMENTS...]",
        "kamelo-cli 는 사진 프로그램 kamelo 와 같은 설정, 섬네일 캐쉬, 그림 읽기와 카메라 "
        "정보를 스크립트에서 쓰게 해 줍니다. 설정과 캐쉬는 kamelo 와 함께 씁니다.\n"
        "kamelo-cli COMMAND --help 는 그 명령의 도움말을 출력합니다.",
        {{"--db", "PATH", "기본 설정 파일 대신 PATH 를 씁니다. 명령보다 앞에 둡니다."},
         {"--version", "", "버전을 출력합니다."},
         {"--help", "", "이 도움말을 출력합니다."}},
        {{"~/.config/Halvern/Kamelo.sqlite", "설정 (XDG_CONFIG_HOME 을 따릅니다)"},
         {"PROGRAM/data/cache/",
          "섬네일 캐쉬; PROGRAM 은 프로그램 폴더 (설치본은 /usr/lib/kamelo)"},
         {"~/.local/share/kamelo/",
          "프로그램 폴더에 쓸 수 없을 때의 data 폴더 (XDG_DATA_HOME 을 따릅니다)"}},
        {{"XDG_CONFIG_HOME", "설정 파일이 있는 폴더의 바탕 (기본값 ~/.config)"},
         {"XDG_DATA_HOME", "data 폴더를 옮길 때의 바탕 (기본값 ~/.local/share)"},
         {"QT_QPA_PLATFORM", "thumbs 와 cache 가 쓰는 Qt 플랫폼 (기본값 offscreen)"}},
        "0: 성공.\n1: 작업이 실패했습니다 (읽을 수 없는 파일, 저장할 수 없는 설정 등).\n"
        "2: 잘못 사용했습니다; 사용법을 출력합니다.",
    };
    return p;
}

const Program& photoProgram() {
    static const Program p = {
        "kamelo",
        "사진 폴더 브라우저, 그림 뷰어와 간단한 편집기",
        "[PICTURE]",
        "인수 없이 시작하면 폴더 브라우저가 열려 마지막에 보던 폴더의 섬네일을 보여 줍니다.\n"
        "그림 파일을 주면 브라우저를 숨긴 채 그 그림을 뷰어로 엽니다. 같은 폴더의 그림을 "
        "차례로 넘겨 볼 수 있습니다. 뷰어를 닫으면 (ESC, 종료, 창 닫기) 프로그램이 "
        "끝납니다; 목록보기(Enter)를 고르면 브라우저로 돌아가고, 그 뒤에는 브라우저를 "
        "닫을 때 끝납니다. 인수 전체가 경로 하나이며 양끝의 따옴표는 떼어 냅니다.\n"
        "SIGTERM, SIGINT 나 SIGHUP 을 받으면 창을 닫을 때처럼 설정을 저장하고 끝납니다.\n"
        "설정과 섬네일 캐쉬를 스크립트에서 다루려면 kamelo-cli(1) 를 씁니다.",
        {},
        {{"~/.config/Halvern/Kamelo.sqlite", "설정 (XDG_CONFIG_HOME 을 따릅니다)"},
         {"PROGRAM/skin/", "액자 스킨; PROGRAM 은 프로그램 폴더 (설치본은 /usr/lib/kamelo)"},
         {"PROGRAM/data/", "섬네일 캐쉬(cache)와 임시 파일(temp)"},
         {"~/.local/share/kamelo/",
          "프로그램 폴더에 쓸 수 없을 때의 data 폴더 (XDG_DATA_HOME 을 따릅니다)"}},
        {{"XDG_CONFIG_HOME", "설정 파일이 있는 폴더의 바탕 (기본값 ~/.config)"},
         {"XDG_DATA_HOME", "data 폴더를 옮길 때의 바탕 (기본값 ~/.local/share)"}},
        "0: 정상 종료.\n1: 시작할 수 없었습니다 (예: 열 수 없는 그림 파일).",
    };
    return p;
}

namespace {

std::string optionLine(const Option& o) {
    std::string s = o.name;
    if (*o.argument)
        s += std::string(" ") + o.argument;
    return s;
}

void appendParagraphs(std::string& out, const char* text) {
    std::string_view rest = text;
    while (!rest.empty()) {
        const size_t end = rest.find('\n');
        out += "  ";
        out += rest.substr(0, end);
        out += '\n';
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
    }
}

void appendOptions(std::string& out, const std::vector<Option>& options) {
    if (options.empty())
        return;
    out += "\n옵션:\n";
    for (const Option& o : options)
        out += "  " + optionLine(o) + "\n      " + o.text + "\n";
}

} // namespace

std::string usage(std::string_view name) {
    const char* lead = "사용법: ";
    std::string s;
    auto line = [&](const std::string& text) {
        s += lead + std::string("kamelo-cli ") + text + "\n";
        lead = "       ";
    };
    if (const Command* c = find(name)) {
        for (const char* l : c->synopsis)
            line(l);
        return s;
    }
    line(cliProgram().synopsis);
    for (const Command& c : commands())
        for (const char* l : c.synopsis)
            line(l);
    line("--version | --help | COMMAND --help");
    return s;
}

std::string commandHelp(const Command& command) {
    std::string s = usage(command.name);
    s += "\n  ";
    s += command.summary;
    s += '\n';
    appendParagraphs(s, command.description);
    appendOptions(s, command.options);
    return s;
}

std::string programHelp() {
    const Program& p = cliProgram();
    std::string s = "사용법: kamelo-cli " + std::string(p.synopsis) + "\n\n";
    appendParagraphs(s, p.description);
    s += "\n명령:\n";
    for (const Command& c : commands()) {
        for (const char* line : c.synopsis)
            s += std::string("  ") + line + "\n";
        s += std::string("      ") + c.summary + "\n";
    }
    appendOptions(s, p.options);
    return s;
}

} // namespace kamelo::clihelp
