#pragma once

namespace Haldun::Http {

// The status a server answers a call with.
enum class ResponseCode : int {
  Ok = 200,
  BadRequest = 400,
  NotFound = 404,
  InternalServerError = 500,
  NotImplemented = 501,
};

}  // namespace Haldun::Http
