#ifndef VXLFORGE_TESTS_MAPGEN_REFERENCE_DIGESTS_H_
#define VXLFORGE_TESTS_MAPGEN_REFERENCE_DIGESTS_H_

#include <cstdint>

namespace vxlforge::testing {

// SHA-256 digests of the map state at fixed moments of a run, from an
// independent implementation. Arrays are hashed as raw little-endian bytes in
// their index order (x outer); voxel arrays with z = 0 at the bottom.
struct ReferenceRun {
  std::int32_t seed;
  bool debug_regions;
  const char* heights_voxelise;  // height_field as voxelise reads it
  const char* heights_colour;    // height_field as the colouring reads it
  const char* column_top;        // after voxelise
  const char* terrain_colour;    // colour, right after the terrain colouring
  const char* road_mask;         // after the road pass
  const char* detail_solid;      // solid, after the surface detail pass
  const char* detail_colour;     // colour, same moment
  const char* file;              // the map file
  std::uint64_t draws_heightmap;  // words drawn, cumulative, after each pass
  std::uint64_t draws_roads;
  std::uint64_t draws_detail;
};

inline constexpr ReferenceRun kReferenceRuns[] = {
    {1, false,
     "21e06e6a04c4e57adf9e638a5847d77b39db0c4dfc2de878782bff7d74d10406",
     "13296619c828835da7f9a54d8bd69f417c8013790dea8e007c8a020d6ba8cb05",
     "0cd3df2cae79a3133bb74331871e9e6a94d3d719f1bf49076944ed175668ffe5",
     "513882945bf1318cebd2356cc0e4a0f4eb1780d643d03f54ad7c53f2fc269ebf",
     "e7410e8ea114a17039017e6467098c618192b5c12112fdb104735fd73f0ee1f4",
     "014e8fe7db619b1de0b5791760d760bbd945fd9fdfa1ae8c69be945f96b7baba",
     "f73e3dd7659df5b107c8cc9aba571817a71df2450c4ec332a0a7f13790e7caa6",
     "defecbaeb24cabc27b2018709124e12852625c033a6c15d7787fad04cffdbfb1",
     24, 60730, 2352238},
    {42, false,
     "b771901b418ff89482bdc23766dca68f4a2683089c50050742ebebe0f8cf12fb",
     "ac9ace2cd90ec4736efb84725bb0dd0969e2c2f85efbfdd6866cd1b8c56cc10a",
     "01ba4a8c611c233fe1eba2f0447a12f2f935da104d864332f59509263f6402a9",
     "6d0de560d0d425804aa27d8f61a6fdb721b967e061707f07b4fa1d5ca15a15ea",
     "67ef7534411427aaa2a0e524013ee9e76c1668f5a98ca6593c72ad4b2525003a",
     "9e9fcb7e187b6fc82b843e8ac8c884f566898f138743046103b3b0cb3bd0e7fa",
     "ad891282588f29557578a0aaa5572703a3852911f42e3564e9b1c6c68c1c239e",
     "433c22abd83ee0ac7418c131a702881f1b2db8997412eedf4e517ce75b74d137",
     24, 62505, 2355074},
    {0, false,
     "7011c4afe1ce71cf3ba78561abd96521cea2c9716af76d97391b2873dbf48226",
     "7c7d4a24e6230a016006a27067078e360d340152cc831491679e91c42e1bf3d8",
     "01aa5f98357a3dbe6403bda4f904b4d072846202e42714a03d4e6f79cd9fc77e",
     "8f500670a890ac13688c7f28584ae4c4e2ae210a4b154b48ca32900f6d5f7722",
     "f8d8efdf32ee1352a849e29b5d63e02aa6e79d21e5cb214f5a9b5f768a134676",
     "11f5f79f6acf7de73b7c03690184745adcfc67cd4751d31c64e3612721d94bb8",
     "b892dcc507267c8c2212dc06080c9250ba2e83cca7cf5d115c06ef97ad236254",
     "409905d5d891d42d8402415680ee7045fe4c05edf17a87fa29e01d0757c103a8",
     24, 62542, 2358968},
    {-1, false,
     "1790356dc48e3ee69886a080c6463ae0113418adafe0f508c44dac5150fc1149",
     "46f18449138c89a912810013f68d25d34b237dffb17477266c23a025f2302c08",
     "51f5e3a3ad3a803f60516053aaa5b7ccd05f0eb5a70ca7d373027656c2ed6a85",
     "6bf3224e4757a8f42e54e2adef0c5c1ed68f40fcbb1229d72f257bcb5952cc07",
     "3526a84605fc6cd802ec6d197c45ae68de803dba3139d33ccfa442dabdc07866",
     "f912b9d64c0df2a55d5cb5cd93aecddaa918b1d82e98bac54c825ead7abadf06",
     "60e0c555d29e9e64e619341c104c2c2153d9f8716b29dd574338dd5c924b248d",
     "6e82c55a9042108c0375280ed9b2f459ad93cb1bba0a557732c9ced236274c4c",
     24, 63593, 2361022},
    {12345, false,
     "42e208694dc66a8980f5e719563ed200ac360ce60ce2c9f116a19ca5e20d1498",
     "5b10cab370ea403b2bfb5800e3c3a9acc6029c90fac75b8a17408884b4b7e41f",
     "d8058aa54ec7d0f548bd500ff4014fa8881126aa5a32078f6b63659889560877",
     "872628cf0754cb1415af0aab70d3f9bfe9da9b791948a7019614fd27a8722592",
     "c381465bd75a60c9a7b2dc0f618f475bf8c0f5973b9c82c476dc1864020a045e",
     "db275cba10290281c0f95ce03b0aaf2a91e14d2c80df80be3c7348de9da7ee2c",
     "76f79c7c51ac023faca0a14d07f08f21a54167490e6870006a7eb08f877e966d",
     "5912a81aa73e6869b9296995ee191d7cb801f2fb48e5d85ee8080f36013e96e1",
     24, 61291, 2352195},
    {2147483647, false,
     "dd8ee036bf38bbc8adadc4a4309e59d94415f09883a6b64ba73b71d3dd9eec84",
     "dbca10737ee391a432d8de8585c66b25dfc8f10235452af24a1ab02817e380e0",
     "8d1a1a6dae882ef1a92d47f5fffad745bb068a5c25ef332f977cbc5c4f40c0a8",
     "0c1dae48e3121d8fdec29da85216db690dd587b0d8e68e218b36b3a7636b8516",
     "8a54efe0c14fcfc65df4b52bfa1a6fa621d0ffb7a60a05565eb23f9530ec1c43",
     "f410218dc9021e4422205e6562c7f9b64a133247be26221e69c0743834ced240",
     "b5348aa62276c47cb6f6cda2bdd93d5f468b5cf224f4e59506c5008e8694d0db",
     "c1a6f4380460d0fcb57243c4849362997b3f4b254dd02947104d8b8d32b2cb74",
     24, 60750, 2351359},
    {INT32_MIN, false,
     "084973ff6043f5e4abcedbae2072239682b0f60480e858cdd196cb34974ccd5d",
     "f6a8b586a3c36ba932f16dbc69116e2539ad618d1c3c7649e6b05247f73daedd",
     "fac463cb611654eac441143075bed3ef4e6898e665f2dc6308228a23c34ff217",
     "95b3e70bd157bd0d673d9f6bbb55a60f089879646c075598bbacec47ecf4fde5",
     "393ee364ab0e7ed818dd3ac35530811655182d408d9db105a6551da53a6f7098",
     "67591a96f550c0036b5e422bdb9c10294b1b6c75cf11fa293aa54d6883ef51e3",
     "6e36ad434cb12625cdf4322b906b1942cfc3b78e6ea9f2e697c3c7868104a930",
     "2c4e382ac3e0ade2a2d5371a0c027d330fc763a59c237bb7671ce4e5a50b7dcd",
     24, 63567, 2362823},
    {1, true,
     "21e06e6a04c4e57adf9e638a5847d77b39db0c4dfc2de878782bff7d74d10406",
     "13296619c828835da7f9a54d8bd69f417c8013790dea8e007c8a020d6ba8cb05",
     "0cd3df2cae79a3133bb74331871e9e6a94d3d719f1bf49076944ed175668ffe5",
     "513882945bf1318cebd2356cc0e4a0f4eb1780d643d03f54ad7c53f2fc269ebf",
     "e7410e8ea114a17039017e6467098c618192b5c12112fdb104735fd73f0ee1f4",
     "014e8fe7db619b1de0b5791760d760bbd945fd9fdfa1ae8c69be945f96b7baba",
     "f73e3dd7659df5b107c8cc9aba571817a71df2450c4ec332a0a7f13790e7caa6",
     "6b8a52bdecc14c0b5ceb2c084edfc27e8ab1cb6a4f19928894076c5b5771e409",
     24, 60730, 2352238},
    {42, true,
     "b771901b418ff89482bdc23766dca68f4a2683089c50050742ebebe0f8cf12fb",
     "ac9ace2cd90ec4736efb84725bb0dd0969e2c2f85efbfdd6866cd1b8c56cc10a",
     "01ba4a8c611c233fe1eba2f0447a12f2f935da104d864332f59509263f6402a9",
     "6d0de560d0d425804aa27d8f61a6fdb721b967e061707f07b4fa1d5ca15a15ea",
     "67ef7534411427aaa2a0e524013ee9e76c1668f5a98ca6593c72ad4b2525003a",
     "9e9fcb7e187b6fc82b843e8ac8c884f566898f138743046103b3b0cb3bd0e7fa",
     "ad891282588f29557578a0aaa5572703a3852911f42e3564e9b1c6c68c1c239e",
     "3fefa5826d31e1b4fa1a2dc96ec4593032a654f4879e6a8959d4e1f1e1b4cdb6",
     24, 62505, 2355074},
};

}  // namespace vxlforge::testing

#endif  // VXLFORGE_TESTS_MAPGEN_REFERENCE_DIGESTS_H_
