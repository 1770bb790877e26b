#version 300 es

// Every draw hands one complete transform; the vertex colour travels in inNormal.
uniform mat4 finalMatrix;

in vec3 inVertex;
in vec3 inNormal;
in vec2 inTexCoord;

out vec3 colour;
out vec2 texCoord;

void main() {
    colour = inNormal;
    texCoord = inTexCoord;
    gl_Position = finalMatrix * vec4(inVertex, 1.0);
}
